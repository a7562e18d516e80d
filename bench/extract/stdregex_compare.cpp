// SPDX-License-Identifier: GPL-3.0-or-later
// For comparison only, not part of the program: std::regex (ECMAScript, libstdc++) with the
// five patterns on one adversarial line of openings that never close.
// Usage: bench_extract_stdregex [KiB ...]   (default 4 8 16)
// libstdc++ recurses per character: long lines overflow the stack (64 KiB crashes).

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty())
        sizes = {4, 8, 16};

    const std::pair<const wchar_t *, bool> patterns[] = {
        {LR"(style='background.*?\.jpg_30x30\.jpg)", false},
        {LR"((data-src=")//.*?(\.jpg_50x50\.jpg))", false},
        {LR"((src="http:|src="https:|src=")//.*?(\.jpg|\.bmp|\.gif|\.png|\.webp))", true},
        {LR"((src=")//.*?(\.jpg_60x60q90\.jpg))", true},
        {LR"(style="BACKGROUND.*?(\.jpg_40x40q90\.jpg))", false},
    };
    std::vector<std::wregex> res;
    for (const auto &[p, icase] : patterns)
        res.emplace_back(p, icase ? std::regex::ECMAScript | std::regex::icase : std::regex::ECMAScript);

    const std::wstring unit = L"src=\"//data-src=\"//style='background style=\"BACKGROUND SRC=\"https://"
                              L".jp .jpeg_50x50 _30x30 .jpe_60x60q90 _40x40q90 .we .pn .gi .bm .JPEG ";
    for (int kib : sizes) {
        const std::size_t chars = static_cast<std::size_t>(kib) << 10;
        std::wstring line;
        while (line.size() + unit.size() <= chars)
            line += unit;
        line.resize(chars, L'x');
        const auto start = std::chrono::steady_clock::now();
        std::size_t matches = 0;
        for (const auto &re : res)
            matches += static_cast<std::size_t>(
                std::distance(std::wsregex_iterator(line.begin(), line.end(), re), std::wsregex_iterator()));
        const double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("std::regex adversarial %d KiB: %.1f ms, %.3f MB/s (%zu matches)\n", kib, t * 1e3,
                    static_cast<double>(chars) / 1e6 / t, matches);
        std::fflush(stdout);
    }
    return 0;
}
