// plot CSV [--out FILE.svg]: draws a recorded timeline (monitor, stutter or demo with
// --csv) as an SVG: the risk and the p99 against time, each recovery marked with the
// offender's name. Without --out the picture goes beside the CSV.

#include <cstdio>
#include <string>

#include "command.h"
#include "timeline_reader.h"
#include "timeline_svg.h"

namespace {

bool readFile(const std::wstring& path, std::string& out) {
    std::FILE* f = _wfopen(path.c_str(), L"rb");
    if (!f) return false;
    char buf[65536];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) out.append(buf, n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

int runPlot(const zkctl::Args& args) {
    std::wstring csv, svg;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == L"--out" && i + 1 < args.size())
            svg = args[++i];
        else if (csv.empty() && args[i] != L"--out")
            csv = args[i];
        else
            csv.clear(), i = args.size();
    }
    if (csv.empty()) {
        std::fprintf(stderr, "plot: CSV [--out FILE.svg]\n");
        return 2;
    }
    if (svg.empty()) {
        const std::size_t dot = csv.find_last_of(L'.');
        const std::size_t slash = csv.find_last_of(L"\\/");
        svg = (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash) ? csv.substr(0, dot) : csv) +
              L".svg";
    }
    std::string text;
    if (!readFile(csv, text)) {
        std::fprintf(stderr, "plot: cannot read %ls\n", csv.c_str());
        return 1;
    }
    zktl::Timeline timeline;
    std::string error;
    if (!zktl::readTimeline(text, timeline, error)) {
        std::fprintf(stderr, "plot: %ls: %s\n", csv.c_str(), error.c_str());
        return 1;
    }
    const std::string picture = zktl::plotSvg(timeline);
    std::FILE* f = _wfopen(svg.c_str(), L"wb");
    bool written = f && std::fwrite(picture.data(), 1, picture.size(), f) == picture.size();
    if (f) written = std::fclose(f) == 0 && written;
    if (!written) {
        std::fprintf(stderr, "plot: cannot write %ls\n", svg.c_str());
        return 1;
    }
    std::printf("%ls: %zu rows plotted\n", svg.c_str(), timeline.rows.size());
    return 0;
}

}  // namespace

ZKCTL_COMMAND(plot, "plot CSV [--out FILE.svg]  draw a recorded timeline as an SVG", runPlot);
