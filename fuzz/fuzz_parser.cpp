// Feeds arbitrary bytes as update.ini and checks the record stays sound.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "settings/settings.h"
#include "settings/settings_file.h"
#include "text/sjis.h"

static SetupSettings defaults;

static void Check(bool ok, const char* what) {
  if (!ok) {
    fprintf(stderr, "property failed: %s\n", what);
    abort();
  }
}

template <size_t N>
static bool Terminated(const char (&field)[N]) {
  return memchr(field, '\0', N) != nullptr;
}

static bool AllZero(const void* p, size_t n) {
  const unsigned char* b = static_cast<const unsigned char*>(p);
  for (size_t i = 0; i < n; ++i) {
    if (b[i] != 0) return false;
  }
  return true;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char dir[] = "/tmp/updater-fuzz-XXXXXX";
  if (mkdtemp(dir) == nullptr || chdir(dir) != 0) abort();
  ResetSettings();
  defaults = settings;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* f = fopen("update.ini", "wb");
  if (f == nullptr) abort();
  fwrite(data, 1, size, f);
  fclose(f);
  ResetSettings();
  memset(settings.install_lst, 0, sizeof settings.install_lst);

  OpenSettingsFile();
  ParseSettingsFile();
  CloseSettingsFile();

  std::string input(reinterpret_cast<const char*>(data), size);
  struct Field {
    const char* key;
    const char* value;
    const char* initial;
    bool terminated;
  } fields[] = {
      {"#TITLE", settings.title, defaults.title, Terminated(settings.title)},
      {"#TITLE_OLD", settings.title_old, defaults.title_old, Terminated(settings.title_old)},
      {"#PATH", settings.path, defaults.path, Terminated(settings.path)},
      {"#DEFDIR", settings.defdir, defaults.defdir, Terminated(settings.defdir)},
      {"#REG_P", settings.reg_p, defaults.reg_p, Terminated(settings.reg_p)},
      {"#REG_S", settings.reg_s, defaults.reg_s, Terminated(settings.reg_s)},
      {"#REG_T", settings.reg_t, defaults.reg_t, Terminated(settings.reg_t)},
      {"#MD", settings.md, defaults.md, Terminated(settings.md)},
      {"#EXE", settings.exe, defaults.exe, Terminated(settings.exe)},
      {"#LNK", settings.lnk, defaults.lnk, Terminated(settings.lnk)},
      {"#SAVEDIR", settings.savedir, defaults.savedir, Terminated(settings.savedir)},
      {"#SAVEFILE", settings.savefile, defaults.savefile, Terminated(settings.savefile)},
  };
  for (const Field& field : fields) {
    Check(field.terminated, "text field terminated within its size");
    // A field the input never names keeps its default: a write that spilled
    // over from a neighbouring field would show here.
    if (input.find(field.key) == std::string::npos) {
      Check(strcmp(field.value, field.initial) == 0, "unnamed field unchanged");
    }
  }
  Check(Terminated(settings.reg_key), "reg_key terminated");

  Check(settings.install_lst_count >= 0 && settings.install_lst_count <= kMaxFileTypes,
        "type count within capacity");
  for (int i = 0; i < kMaxFileTypes; ++i) {
    if (i < settings.install_lst_count) {
      Check(Terminated(settings.install_lst[i]) && settings.install_lst[i][0] != '\0',
            "type name terminated and not empty");
    } else {
      Check(AllZero(settings.install_lst[i], sizeof settings.install_lst[i]),
            "type slots past the count untouched");
    }
  }

  Check(settings.file_count >= 0 && settings.file_count <= kMaxFiles, "file count in capacity");
  for (int i = 0; i < kMaxFiles; ++i) {
    const FileEntry& entry = settings.files[i];
    if (i < settings.file_count) {
      Check(Terminated(entry.name) && entry.name[0] != '\0', "file name terminated");
      uint32_t f = entry.flags;
      Check(f != 0 && (f & (f - 1)) == 0 && (f <= 0x8000u || f == 0x80000000u),
            "one flag bit: a type from 0 to 15 or none");
    } else {
      Check(AllZero(&entry, sizeof entry), "file slots past the count empty");
    }
  }

  SelectFiles(0xFF);
  char out[32];
  int selected = 0;
  while (NextSelectedFile(out, sizeof out) == 0) {
    Check(strlen(out) < sizeof out, "selected name fits");
    ++selected;
  }
  Check(selected <= settings.file_count, "each entry selected at most once");
  return 0;
}
