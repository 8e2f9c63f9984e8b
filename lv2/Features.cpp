#include "lv2/Features.h"

#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <cstring>

namespace lv2features {

const void* find(const LV2_Feature* const* features, const char* uri)
{
    if (!features)
        return nullptr;
    for (const LV2_Feature* const* f = features; *f; ++f)
        if ((*f)->URI && std::strcmp((*f)->URI, uri) == 0)
            return (*f)->data;
    return nullptr;
}

const void* findOption(const LV2_Feature* const* features, const char* key, const char* type)
{
    const auto* options = static_cast<const LV2_Options_Option*>(find(features, LV2_OPTIONS__options));
    const auto* map = static_cast<const LV2_URID_Map*>(find(features, LV2_URID__map));
    if (!options || !map || !map->map)
        return nullptr;
    const LV2_URID keyId = map->map(map->handle, key);
    const LV2_URID typeId = map->map(map->handle, type);
    for (const LV2_Options_Option* o = options; o->key != 0 || o->value != nullptr; ++o)
        if (o->context == LV2_OPTIONS_INSTANCE && o->key == keyId && o->type == typeId && o->value)
            return o->value;
    return nullptr;
}

}  // namespace lv2features
