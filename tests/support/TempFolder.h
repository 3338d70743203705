#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include <unistd.h>

namespace vxtest
{
// A private folder of its own (mode 0700) in the temporary folder ($TMPDIR,
// else /tmp), removed with everything in it when the object goes. Tests,
// benchmarks and fuzz targets make their scratch files here. Path() is empty
// when the folder could not be made.
class TempFolder
{
public:
    explicit TempFolder(const std::string& prefix = "vxtest")
    {
        std::error_code ec;
        std::filesystem::path base = std::filesystem::temp_directory_path(ec);
        if (ec)
            base = "/tmp";
        std::string pattern = (base / (prefix + ".XXXXXX")).string();
        if (::mkdtemp(pattern.data()) != nullptr)
            m_path = pattern;
    }
    ~TempFolder()
    {
        if (m_path.empty())
            return;
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    bool IsValid() const { return !m_path.empty(); }
    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};
} // namespace vxtest
