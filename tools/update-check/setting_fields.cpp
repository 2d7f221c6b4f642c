#include "setting_fields.h"

#include <string.h>

#include "settings/settings.h"

#define FIELD(name, key) \
  { #name, key, settings.name, sizeof settings.name }

const TextField kTextFields[13] = {
    FIELD(title, "TITLE"),
    FIELD(title_old, "TITLE_OLD"),
    FIELD(path, "PATH"),
    FIELD(defdir, "DEFDIR"),
    FIELD(reg_key, nullptr),
    FIELD(reg_p, "REG_P"),
    FIELD(reg_s, "REG_S"),
    FIELD(reg_t, "REG_T"),
    FIELD(md, "MD"),
    FIELD(exe, "EXE"),
    FIELD(lnk, "LNK"),
    FIELD(savedir, "SAVEDIR"),
    FIELD(savefile, "SAVEFILE"),
};

#undef FIELD

const char* const kListKeyNames[6] = {"INSTALL_LST", "INSTALL_S", "INSTALL_B",
                                      "INSTALL_C",   "FILE",      "SAVE_LST"};

const TextField* FindTextField(const char* key) {
  for (const TextField& field : kTextFields) {
    if (field.key != nullptr && strcmp(field.key, key) == 0) return &field;
  }
  return nullptr;
}
