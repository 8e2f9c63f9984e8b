#pragma once
// What a host offers an LV2 instance: its features, and among them its options.

#include <lv2/core/lv2.h>

namespace lv2features {

// The data of the feature with this URI, or null when the host does not offer it.
const void* find(const LV2_Feature* const* features, const char* uri);

// The value of the instance option `key` if the host gives it with the atom type `type`
// (both URIs; the host's URID map feature names them), or null.
const void* findOption(const LV2_Feature* const* features, const char* key, const char* type);

}  // namespace lv2features
