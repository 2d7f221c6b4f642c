#include "medium_proof_writer.h"

#include "medium_files.h"
#include "sha256_bytes.h"
#include "tree_files.h"
#include "verify/fingerprint_slot.h"
#include "verify/hash_list.h"

bool ComposeHashList(const std::vector<ListedFile>& files, std::string* list, std::string* err) {
  list->clear();
  for (const ListedFile& listed : files) {
    std::string bytes;
    std::string hex;
    if (!ReadMediumFile(listed.file, &bytes) || (hex = Sha256Hex(bytes)).empty()) {
      *err = "cannot read back " + listed.file + " to hash it";
      return false;
    }
    *list += hex + "  " + listed.path + "\n";
  }
  return true;
}

const char* UnbindableReason(const std::string& program) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(program.data());
  if (HasAuthenticodeSignature(bytes, program.size())) {
    return "is signed already: writing the medium's fingerprint into it would break the "
           "signature; pack with the unsigned build, then sign the medium's update.exe";
  }
  size_t offset = 0;
  size_t slots = FindFingerprintSlots(bytes, program.size(), &offset);
  if (slots == 0) return "is not the updater: it has no slot for the medium's fingerprint";
  if (slots > 1) return "has more than one slot for the medium's fingerprint";
  return nullptr;
}

void StampFingerprint(std::string* program, const unsigned char* digest) {
  size_t offset = 0;
  FindFingerprintSlots(reinterpret_cast<const unsigned char*>(program->data()), program->size(),
                       &offset);
  program->replace(offset, kFingerprintSize, reinterpret_cast<const char*>(digest),
                   kFingerprintSize);
}

bool BindProgram(const std::string& exe, const std::string& list, std::string* program,
                 std::string* err) {
  unsigned char digest[kSha256Size];
  if (!ReadMediumFile(exe, program) || UnbindableReason(*program) != nullptr ||
      !Sha256Of(list, digest)) {
    *err = "cannot bind " + exe + " to the medium";
    return false;
  }
  StampFingerprint(program, digest);
  return true;
}

bool WriteMediumProof(const std::string& dir, const std::vector<std::string>& paths,
                      const std::string& exe, std::string* err) {
  std::vector<ListedFile> files;
  for (const std::string& path : paths) files.push_back({path, dir + "/" + path});
  std::string list;
  if (!ComposeHashList(files, &list, err)) return false;
  if (!WriteWholeFile(dir + "/update.sha256", list)) {
    *err = "cannot write " + dir + "/update.sha256";
    return false;
  }
  if (exe.empty()) return true;
  std::string program;
  if (!BindProgram(exe, list, &program, err)) return false;
  if (!WriteWholeFile(dir + "/update.exe", program)) {
    *err = "cannot write " + dir + "/update.exe";
    return false;
  }
  return true;
}
