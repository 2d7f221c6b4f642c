// Resource ids of update.exe, in bands.
#pragma once

// 1: the manifest and the version block (fixed by the loader's conventions).
#define IDR_MANIFEST 1
#define IDV_VERSION 1

// 100-199: icons.
#define IDI_APP 100

// 1000-1009: controls of the dialog templates UPDATE, FILECOPY and IDENTIFY.
#define IDC_BROWSE 1000
#define IDC_FOLDER_EDIT 1001
#define IDC_COPY_PROGRESS 1008
#define IDC_COPY_STATUS 1009

// 1010-1019: private commands that no control sends.
#define ID_COPY_STEP 1010
#define ID_COPY_NEXT 1011
#define ID_IDENTIFY_STEP 1012

// Controls that are never addressed.
#define IDC_UNUSED 0xFFFF
