#include "settings/settings.h"

#include "text/sjis.h"

static const SetupSettings kDefaults = {
    /* title */ {"Title\202\276\202\346"},  // Titleだよ
    /* title_old */ {"Title\202\276\202\346"},
    /* path */ {"GAME"},
    /* defdir */ {"c:\\"},
    /* reg_key */ {"Software\\CORVID LAMP\\GAME"},
    /* reg_p */ {"Software"},
    /* reg_s */ {"CORVID LAMP"},
    /* reg_t */ {"GAME"},
    /* md */ {"game._md"},
    /* exe */ {"game.exe"},
    /* lnk */ {"game.lnk"},
    /* savedir */ {"sav"},
    /* savefile */ {"game_"},
    /* install_lst_count */ 0,
    /* install_lst */ {},
    /* file_count */ 0,
    /* files */ {},
};

SetupSettings settings = kDefaults;

static uint32_t select_mask = 0;
static int32_t select_pos = 0;

void ResetSettings() {
  settings = kDefaults;
  select_mask = 0;
  select_pos = 0;
}

void SelectFiles(uint32_t mask) {
  select_pos = 0;
  select_mask = mask;
}

int NextSelectedFile(char* out, size_t size) {
  while (select_pos < settings.file_count && select_pos < kMaxFiles) {
    const FileEntry& entry = settings.files[select_pos];
    ++select_pos;
    if ((entry.flags & select_mask) != 0) {
      CopyText(out, size, entry.name);
      return 0;
    }
  }
  return 1;
}
