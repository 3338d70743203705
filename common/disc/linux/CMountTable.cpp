#include "common/disc/linux/CMountTable.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <unordered_map>

namespace
{
constexpr int kMountedKind = 0;
constexpr int kUnmountedKind = 1;
// Fields before the optional ones: id, parent, device, root, mount point,
// options.
constexpr size_t kFixedFields = 6;

bool IsOctal(char c)
{
    return c >= '0' && c <= '7';
}

// A whole decimal number of at most 9 digits.
bool ParseId(const std::string& text, int& id)
{
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    id = std::atoi(text.c_str());
    return true;
}

bool ParseLine(const std::string& line, CMountTable::Entry& entry)
{
    std::istringstream in(line);
    std::vector<std::string> fields;
    for (std::string field; in >> field;)
        fields.push_back(field);
    size_t separator = kFixedFields;
    while (separator < fields.size() && fields[separator] != "-")
        ++separator;
    // The separator is followed by the type and the source.
    if (fields.size() < separator + 3 || !ParseId(fields[0], entry.id))
        return false;
    entry.mountPoint = CMountTable::Unescape(fields[4]);
    entry.type = CMountTable::Unescape(fields[separator + 1]);
    entry.source = CMountTable::Unescape(fields[separator + 2]);
    return !entry.mountPoint.empty() && entry.mountPoint[0] == '/';
}

std::unordered_map<int, const CMountTable::Entry*> ById(const std::vector<CMountTable::Entry>& entries)
{
    std::unordered_map<int, const CMountTable::Entry*> map;
    for (const CMountTable::Entry& e : entries)
        map.emplace(e.id, &e);
    return map;
}
} // namespace

std::string CMountTable::Unescape(const std::string& field)
{
    std::string out;
    out.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i)
    {
        if (field[i] == '\\' && i + 3 < field.size() && IsOctal(field[i + 1]) && IsOctal(field[i + 2]) &&
            IsOctal(field[i + 3]))
        {
            const int value = (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
            out.push_back(static_cast<char>(value & 0xFF));
            i += 3;
        }
        else
        {
            out.push_back(field[i]);
        }
    }
    return out;
}

std::vector<CMountTable::Entry> CMountTable::Parse(const std::string& text)
{
    std::vector<Entry> entries;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
    {
        Entry entry;
        if (ParseLine(line, entry))
            entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<CMountTable::Change> CMountTable::Diff(const std::vector<Entry>& before,
                                                   const std::vector<Entry>& after)
{
    const auto earlier = ById(before);
    const auto later = ById(after);
    std::vector<Change> changes;
    for (const Entry& e : before)
    {
        const auto it = later.find(e.id);
        if (it == later.end() || it->second->mountPoint != e.mountPoint)
            changes.push_back({kUnmountedKind, e.mountPoint});
    }
    for (const Entry& e : after)
    {
        const auto it = earlier.find(e.id);
        if (it == earlier.end() || it->second->mountPoint != e.mountPoint)
            changes.push_back({kMountedKind, e.mountPoint});
    }
    return changes;
}

bool CMountTable::ReadFile(int fd, std::string& text)
{
    text.clear();
    if (::lseek(fd, 0, SEEK_SET) < 0)
        return false;
    char buffer[16384];
    for (;;)
    {
        const ssize_t n = ::read(fd, buffer, sizeof(buffer));
        if (n == 0)
            return true;
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        text.append(buffer, static_cast<size_t>(n));
    }
}
