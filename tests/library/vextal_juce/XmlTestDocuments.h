#pragma once

// Documents for the tests of the XML reader and of the files read through it.

#include <string>

namespace xmltest
{
// depth elements "a", each inside the one before.
inline std::string Nested(int depth)
{
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += "<a>";
    for (int i = 0; i < depth; ++i)
        text += "</a>";
    return text;
}
} // namespace xmltest
