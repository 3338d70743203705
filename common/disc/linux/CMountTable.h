#pragma once

#include <string>
#include <vector>

// The mounts of the process as the kernel lists them in
// "/proc/self/mountinfo", and what changed between two readings.
//
// A line of the table reads "<id> <parent> <major:minor> <root>
// <mount point> <options> [<optional fields>...] - <type> <source>
// <super options>". Paths are escaped by the kernel: a space is "\040", a
// tab "\011", a line break "\012" and a backslash "\134". Mounts are told
// apart by their id, never by their path: a bind mount or a mount stacked on
// the same folder has a path another mount has too.
class CMountTable
{
public:
    struct Entry
    {
        int id = 0;
        // Unescaped, as UTF-8 bytes.
        std::string mountPoint;
        std::string source;
        std::string type;
    };

    // A change between two readings: kind 0 mounted, 1 unmounted (the
    // values of eDeviceChangeType), and the mount point.
    struct Change
    {
        int kind;
        std::string path;
        bool operator==(const Change& o) const { return kind == o.kind && path == o.path; }
    };

    CMountTable() = delete;

    // The entries of the table's text, in its order; a line that is not a
    // well-formed entry is skipped.
    static std::vector<Entry> Parse(const std::string& text);

    // Turns every backslash followed by three octal digits into the byte
    // they give; any other character stays.
    static std::string Unescape(const std::string& field);

    // The mounts gone (in the earlier order), then the new ones (in the
    // later order). A mount moved to another folder keeps its id: it is
    // reported as unmounted from the old folder and mounted at the new one.
    static std::vector<Change> Diff(const std::vector<Entry>& before, const std::vector<Entry>& after);

    // The whole text of the open file, read from its start to its end; false
    // when it cannot be read.
    static bool ReadFile(int fd, std::string& text);
};
