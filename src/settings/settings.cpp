#include "settings/settings.h"

#include <string.h>

#include "text/sjis.h"

// Zero until ResetSettings: the file list is far larger than any medium
// needs, and a record initialised from defaults would carry all of it in
// the program's file.
SetupSettings settings;

struct TextDefault {
  char* field;
  size_t size;
  const char* text;
};

static const TextDefault kTextDefaults[] = {
    {settings.title, sizeof settings.title, "Title\202\276\202\346"},  // Titleだよ
    {settings.title_old, sizeof settings.title_old, "Title\202\276\202\346"},
    {settings.path, sizeof settings.path, "GAME"},
    {settings.defdir, sizeof settings.defdir, "c:\\"},
    {settings.reg_key, sizeof settings.reg_key, "Software\\CORVID LAMP\\GAME"},
    {settings.reg_p, sizeof settings.reg_p, "Software"},
    {settings.reg_s, sizeof settings.reg_s, "CORVID LAMP"},
    {settings.reg_t, sizeof settings.reg_t, "GAME"},
    {settings.md, sizeof settings.md, "game._md"},
    {settings.exe, sizeof settings.exe, "game.exe"},
    {settings.lnk, sizeof settings.lnk, "game.lnk"},
    {settings.savedir, sizeof settings.savedir, "sav"},
    {settings.savefile, sizeof settings.savefile, "game_"},
};

static uint32_t select_mask = 0;
static int32_t select_pos = 0;
static bool already_new[kMaxFiles];

void ResetSettings() {
  // Whole fields are cleared so that no byte of an earlier value stays
  // behind the terminator.
  for (const TextDefault& entry : kTextDefaults) {
    memset(entry.field, 0, entry.size);
    CopyText(entry.field, entry.size, entry.text);
  }
  settings.install_lst_count = 0;
  memset(settings.install_lst, 0, sizeof settings.install_lst);
  settings.file_count = 0;
  memset(settings.left_out, 0, sizeof settings.left_out);
  select_mask = 0;
  select_pos = 0;
  ClearAlreadyNew();
}

int CountLeftOut(uint32_t mask) {
  int count = 0;
  for (int bit = 0; bit < 32; ++bit) {
    if ((mask >> bit) & 1u) count += settings.left_out[bit];
  }
  return count;
}

void SelectFiles(uint32_t mask) {
  select_pos = 0;
  select_mask = mask;
}

int NextSelectedFile(char* out, size_t size) {
  while (select_pos < settings.file_count && select_pos < kMaxFiles) {
    const FileEntry& entry = settings.files[select_pos];
    ++select_pos;
    if ((entry.flags & select_mask) != 0 && !already_new[select_pos - 1]) {
      CopyText(out, size, entry.name);
      return 0;
    }
  }
  return 1;
}

int LastSelectedIndex() {
  return select_pos - 1;
}

void ClearAlreadyNew() {
  memset(already_new, 0, sizeof already_new);
}

void MarkAlreadyNew(int index) {
  if (index >= 0 && index < kMaxFiles) already_new[index] = true;
}

bool IsAlreadyNew(int index) {
  return index >= 0 && index < kMaxFiles && already_new[index];
}
