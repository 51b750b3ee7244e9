#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace sorvanel::test {

/// A real folder under the system's temporary folder, removed with everything in it.
class TempFolder
{
public:
    TempFolder()
    {
        std::random_device seed;
        for (int attempt = 0; attempt < 100; ++attempt) {
            m_path = std::filesystem::temp_directory_path()
                / ("sorvanel-" + std::to_string(seed() % 1000000000u));
            // Made by us alone: it did not exist.
            if (std::filesystem::create_directory(m_path))
                return;
        }
        throw std::runtime_error("cannot make a temporary folder");
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::permissions(
            m_path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(m_path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::string operator/(const std::string& name) const { return (m_path / name).string(); }

    void write(const std::string& name, const std::vector<std::uint8_t>& bytes) const
    {
        std::ofstream out(m_path / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
    }
    std::vector<std::uint8_t> read(const std::string& name) const
    {
        std::ifstream in(m_path / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    /// The names in the folder, sorted.
    std::vector<std::string> names() const
    {
        std::vector<std::string> result;
        for (const auto& item : std::filesystem::directory_iterator(m_path))
            result.push_back(item.path().filename().string());
        std::sort(result.begin(), result.end());
        return result;
    }

private:
    std::filesystem::path m_path;
};

} // namespace sorvanel::test
