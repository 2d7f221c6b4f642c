// The medium proves itself before the update believes it: update.sha256
// against the program's fingerprint, update.ini and every file to copy
// against update.sha256. Without a list and a fingerprint the medium is a
// hand-made one and is taken as it is.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Before update.ini is parsed: reads update.sha256 and holds it to the
// fingerprint, and reads update.ini once, whole, into memory, hashing it
// against its line on the way when the list applies; the version record
// too when the list names it. The parser reads those
// very bytes, so the bytes parsed are the bytes checked. False when the
// medium is refused, a hand-made one with an update.ini too large to hold
// included.
bool HoldProvenSettings();

// update.ini's bytes as HoldProvenSettings read them, their count in *size;
// null when update.ini could not be opened.
const char* HeldSettings(size_t* size);

// The version record's bytes (update.versions), proven against the list by
// HoldProvenSettings, their count in *size; null when the medium has none:
// no list, or a list that does not name it.
const char* HeldVersions(size_t* size);

// After the parse: checks that every entry the copy will select (mask) is
// listed. False when the medium is refused.
bool ReleaseProvenSettings(uint32_t mask);

// True when update.sha256 applies, so every file is checked as it is copied.
bool MediumListApplies();

// The digest (32 bytes) that the list gives the file of entry; false when
// the list names it not once.
bool ListedDigest(const char* entry, unsigned char* digest);

// The game-relative spelling of entry's file, as update.versions has it:
// UTF-8 with '/' between names. False when it does not fit in size bytes.
bool GameSpelling(const char* entry, char* out, size_t size);

// Where entry lies on the medium: the PATH folder, '\' and entry, in code
// page 932. False, with out cut, when it does not fit.
bool MediumPathOf(const char* entry, char* out, size_t size);
