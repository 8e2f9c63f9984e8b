#pragma once
// What another program drags over the panel: a list of texts or file names.

#include <cstdint>
#include <string>
#include <vector>

#include "gui/CReferenceCounter.h"

class CDragContainer : public CReferenceCounter {
public:
    enum Type : int32_t { kFile = 0, kText = 1, kUnknown = -1 };

    CDragContainer(Type type, std::vector<std::string> list) : itemType(type), items(std::move(list)) {}

    int32_t getCount() const { return static_cast<int32_t>(items.size()); }
    // Iteration: first() restarts, next() goes on; null after the last item.
    const char* first(int32_t& size, int32_t& type)
    {
        iterator = 0;
        return next(size, type);
    }
    const char* next(int32_t& size, int32_t& type)
    {
        type = itemType;
        if (iterator >= items.size()) {
            size = 0;
            return nullptr;
        }
        const std::string& item = items[iterator++];
        size = static_cast<int32_t>(item.size());
        return item.c_str();
    }

private:
    Type itemType;
    std::vector<std::string> items;
    size_t iterator = 0;
};
