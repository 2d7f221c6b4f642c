// The settings record's text fields by name, for reports.
#pragma once

#include <stddef.h>

struct TextField {
  const char* name;  // the field's name, as in the JSON report
  const char* key;   // the settings-file key that sets it; null for reg_key
  const char* value;
  size_t size;
};

extern const TextField kTextFields[13];

// The settings-file keys that open lists.
extern const char* const kListKeyNames[6];

// The field that key sets, or null.
const TextField* FindTextField(const char* key);
