#include "host/NameLookup.h"

#include <cctype>
#include <cstdio>

namespace {

std::string lower(const std::string& text)
{
    std::string result = text;
    for (char& c : result)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

bool isWholeNumber(const std::string& text)
{
    if (text.empty() || text.size() > 9)
        return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

}  // namespace

NameMatch lookUpName(const std::vector<std::string>& names, const std::string& text, bool allowPrefix,
                     std::size_t cutLength)
{
    NameMatch match;
    const int count = static_cast<int>(names.size());
    if (isWholeNumber(text)) {
        const int number = std::stoi(text);
        if (number < count)
            match.index = number;
        return match;
    }
    const std::string wanted = lower(text);
    std::vector<int> beginning, containing;
    int cutShort = -1;  // the first name that the text continues past its cut
    for (int i = 0; i < count; ++i) {
        const std::string name = lower(names[static_cast<std::size_t>(i)]);
        if (name.empty())
            continue;
        if (name == wanted) {
            match.index = i;
            return match;
        }
        if (cutShort < 0 && cutLength > 0 && name.size() == cutLength && wanted.compare(0, cutLength, name) == 0)
            cutShort = i;
        if (name.compare(0, wanted.size(), wanted) == 0)
            beginning.push_back(i);
        if (name.find(wanted) != std::string::npos)
            containing.push_back(i);
    }
    if (cutShort >= 0) {
        match.index = cutShort;
    } else if (allowPrefix && beginning.size() == 1) {
        match.index = beginning.front();
    } else if (allowPrefix && beginning.size() > 1) {
        match.ambiguous = true;
        match.candidates = beginning;
    } else if (!containing.empty()) {
        match.similar = true;
        match.candidates = containing;
    } else {
        for (int i = 0; i < count; ++i)
            if (!names[static_cast<std::size_t>(i)].empty())
                match.candidates.push_back(i);
    }
    return match;
}

std::string describeFailedLookup(const std::string& what, const std::string& text, const NameMatch& match,
                                 const std::vector<std::string>& names)
{
    std::string message;
    if (match.ambiguous)
        message = what + " \"" + text + "\" is ambiguous; it could be:";
    else if (isWholeNumber(text))
        message = "no " + what + " number " + text + "; the plug-in has " + std::to_string(names.size()) + " (0.." +
                  std::to_string(names.empty() ? 0 : names.size() - 1) + ")";
    else if (match.similar)
        message = "no " + what + " \"" + text + "\"; did you mean:";
    else
        message = "no " + what + " \"" + text + "\"; the " + what + "s are:";
    for (int index : match.candidates) {
        char line[16];
        std::snprintf(line, sizeof line, "\n  %3d  ", index);
        message += line + names[static_cast<std::size_t>(index)];
    }
    return message;
}
