#pragma once
// One member of a zip file (an .xlsx workbook) as text, read with `unzip -p`; empty when
// the member or the file is missing.
#include <cstdio>
#include <filesystem>
#include <string>

namespace velmaro::test {

inline std::string unzipMember(const std::filesystem::path& zip, const char* member) {
    const std::string cmd = "unzip -p '" + zip.string() + "' " + member + " 2>/dev/null";
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[4096];
        for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
        pclose(p);
    }
    return out;
}

} // namespace velmaro::test
