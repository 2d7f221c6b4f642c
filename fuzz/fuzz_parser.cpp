// Feeds arbitrary bytes as update.ini and checks the record stays sound.
#include <stdint.h>
#include <string.h>

#include "fuzz_check.h"
#include "settings/settings.h"
#include "settings/settings_file.h"

static SetupSettings defaults;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ResetSettings();
  defaults = settings;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ResetSettings();
  memset(settings.install_lst, 0, sizeof settings.install_lst);

  // The parser reads update.ini's bytes from memory in the updater too. An
  // empty input is an empty file, not a missing one.
  OpenSettingsFile(size == 0 ? "" : reinterpret_cast<const char*>(data), size);
  ParseSettingsFile();
  CloseSettingsFile();

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
  constexpr size_t kFields = sizeof fields / sizeof fields[0];
  const char* keys[kFields];
  bool named[kFields];
  for (size_t i = 0; i < kFields; ++i) keys[i] = fields[i].key;
  FindWords(data, size, keys, kFields, named);
  for (size_t i = 0; i < kFields; ++i) {
    const Field& field = fields[i];
    Check(field.terminated, "text field terminated within its size");
    // A field the input never names keeps its default: a write that spilled
    // over from a neighbouring field would show here.
    if (!named[i]) {
      Check(SameText(field.value, field.initial), "unnamed field unchanged");
    }
  }
  Check(Terminated(settings.reg_key), "reg_key terminated");

  Check(settings.install_lst_count >= 0 && settings.install_lst_count <= kMaxFileTypes,
        "type count within capacity");
  for (int i = 0; i < settings.install_lst_count; ++i) {
    Check(Terminated(settings.install_lst[i]) && settings.install_lst[i][0] != '\0',
          "type name terminated and not empty");
  }
  Check(AllZero(settings.install_lst[settings.install_lst_count],
                (kMaxFileTypes - settings.install_lst_count) * sizeof settings.install_lst[0]),
        "type slots past the count untouched");

  Check(settings.file_count >= 0 && settings.file_count <= kMaxFiles, "file count in capacity");
  for (int i = 0; i < settings.file_count; ++i) {
    const FileEntry& entry = settings.files[i];
    Check(Terminated(entry.name) && entry.name[0] != '\0', "file name terminated");
    uint32_t f = entry.flags;
    Check(f != 0 && (f & (f - 1)) == 0 && (f <= 0x8000u || f == 0x80000000u),
          "one flag bit: a type from 0 to 15 or none");
  }

  SelectFiles(0xFF);
  char out[kMaxEntryLength + 1];
  int selected = 0;
  while (NextSelectedFile(out, sizeof out) == 0) {
    Check(strlen(out) < sizeof out, "selected name fits");
    ++selected;
  }
  Check(selected <= settings.file_count, "each entry selected at most once");
  return 0;
}
