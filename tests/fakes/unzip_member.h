#pragma once
// One member of a zip package (an .xlsx), read with the unzip tool; empty when missing.
#include <cstdio>
#include <filesystem>
#include <string>

namespace velmaro::test {

inline std::string unzipMember(const std::filesystem::path& zip, const std::string& member) {
    const std::string cmd = "unzip -p '" + zip.string() + "' " + member;
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[4096];
        for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
        pclose(p);
    }
    return out;
}

} // namespace velmaro::test
