#include "report/html_head.h"

#include "report/html_drivers.h"
#include "report/html_text.h"
#include "report/live_board.h"

namespace kvr {

namespace {

const char* const Style =
    ":root{font-family:system-ui,-apple-system,\"Segoe UI\",Roboto,sans-serif;line-height:1.4;"
    "color:#1d232b;background:#fff}"
    "body{margin:0 auto;max-width:60rem;padding:1rem}"
    "h1{font-size:1.4rem;margin:0 0 .25rem}"
    "h2{font-size:1.2rem;margin:1.75rem 0 .5rem;padding-bottom:.2rem;"
    "border-bottom:2px solid #b8321f}"
    ".when{color:#4a525c;margin:0 0 .75rem}.at{white-space:nowrap}"
    ".attention{margin:0 0 .75rem;padding:.4rem .75rem;border-left:4px solid #b8321f;"
    "background:#fbeeec}"
    "a{color:#1f4e8c}nav{font-size:.9rem}nav a{margin-right:.75rem;white-space:nowrap}"
    ".scroll{overflow-x:auto;margin:0 0 1rem}"
    "table{border-collapse:collapse;font-variant-numeric:tabular-nums}"
    "caption{text-align:left;font-weight:600;padding:.35rem 0}"
    "th,td{padding:.2rem .6rem;text-align:left;border-bottom:1px solid #dde1e6}"
    "th{background:#eef1f4;font-size:.85rem}"
    ".n{text-align:right;white-space:nowrap}"
    "tbody tr:nth-child(even){background:#f8f9fa}"
    "figure{margin:1rem 0}"
    "svg{display:block;width:100%;max-width:36rem;height:auto}"
    "svg text{font-size:13px;fill:#1d232b}svg rect{fill:#b8321f}"
    ".move{text-align:center;white-space:nowrap}.note{color:#4a525c}"
    "details{margin:.25rem 0}summary{cursor:pointer;font-weight:600;padding:.15rem 0}"
    // A link into a fold lands under its summary line, which says whose part it is.
    ".folded{scroll-margin-top:2.5rem;padding:.25rem 0 .5rem}"
    ".standings{display:flex;flex-wrap:wrap;gap:0 2.5rem;align-items:flex-start}"
    ".standings figure{flex:1 1 18rem;margin:0 0 1rem}"
    // Shown only where they are needed: a listing's vehicle under the name on a narrow screen,
    // and the owner of a table above each printed page of it.
    ".also,.whose{display:none}"
    ".chart{display:flex;flex-wrap:wrap;gap:.5rem 1.5rem;align-items:flex-start}"
    "#points-over-runs{flex:1 1 26rem;max-width:38rem}"
    "#points-over-runs path{fill:none}#points-over-runs .line{stroke-width:2.5}"
    "#points-over-runs .axis{stroke:#4a525c;stroke-width:1}"
    "#points-over-runs .grid{stroke:#e3e6ea;stroke-width:1}"
    "#season circle{stroke:none}"
    ".legend{flex:0 1 16rem;margin:0;padding:0;list-style:none;font-size:.9rem}"
    ".legend li{display:flex;align-items:center;gap:.5rem;margin:.1rem 0}"
    ".legend svg{width:1.75rem;height:.625rem;flex:none}.legend .line{fill:none;stroke-width:2.5}"
    ".s0{stroke:#1f77b4;fill:#1f77b4}.s1{stroke:#d62728;fill:#d62728}"
    ".s2{stroke:#2ca02c;fill:#2ca02c}.s3{stroke:#9467bd;fill:#9467bd}"
    ".s4{stroke:#e6700a;fill:#e6700a}.s5{stroke:#1a9fb0;fill:#1a9fb0}"
    ".s6{stroke:#8c564b;fill:#8c564b}.s7{stroke:#d4589f;fill:#d4589f}"
    ".s8{stroke:#6b7280;fill:#6b7280}.s9{stroke:#9a9a14;fill:#9a9a14}"
    // The second five lines dashed: a cue besides colour for readers who tell colours apart
    // poorly.
    "path.s5,path.s6,path.s7,path.s8,path.s9{stroke-dasharray:7 4}"
    "@media (max-width:40rem){body{padding:.5rem}th,td{padding:.2rem .35rem;font-size:.9rem}"
    ".listing th:nth-child(4),.listing td:nth-child(4),.listing th:nth-child(5),"
    ".listing td:nth-child(5){display:none}.also{display:block;font-size:.8rem;color:#4a525c}"
    // A driver's results keep the time to gain a place and drop the gap to the best, which
    // the line above the table sums up.
    ".driver-results th:nth-child(4),.driver-results td:nth-child(4){display:none}"
    ".driver-results th{white-space:normal}"
    "#points-over-runs text{font-size:16px}}"
    "@page{margin:12mm}"
    "@media print{body{max-width:none;padding:0;font-size:10pt}nav{display:none}"
    ".scroll{overflow:visible}h2,h3,caption,summary{break-after:avoid}"
    "tr,figure,.attention,.listing,#season{break-inside:avoid}"
    "thead{display:table-header-group;break-after:avoid}tr.whose{display:table-row}"
    "tbody tr:nth-child(even){background:none}th{background:none}"
    ".attention{background:none}}";

// The reader's dark setting, on screen only: print stays dark on light.
const char* const DarkStyle =
    "@media screen and (prefers-color-scheme:dark){:root{color:#e4e7eb;background:#121417;"
    "color-scheme:dark}a{color:#8ab4f8}.when,.note,.also{color:#aeb5bd}"
    "h2{border-bottom-color:#e0664f}.attention{background:#2b1d1b;border-left-color:#e0664f}"
    "th{background:#262b31}th,td{border-bottom-color:#3a4048}"
    "tbody tr:nth-child(even){background:#1a1d21}svg text{fill:#e4e7eb}svg rect{fill:#e0664f}"
    "#points-over-runs .axis{stroke:#aeb5bd}#points-over-runs .grid{stroke:#2c3138}"
    ".s0{stroke:#5fa8e8;fill:#5fa8e8}.s1{stroke:#ff6b6b;fill:#ff6b6b}"
    ".s2{stroke:#5cd65c;fill:#5cd65c}.s3{stroke:#c39bff;fill:#c39bff}"
    ".s4{stroke:#ffa94d;fill:#ffa94d}.s5{stroke:#4dd9e6;fill:#4dd9e6}"
    ".s6{stroke:#d4a373;fill:#d4a373}.s7{stroke:#ff8ad8;fill:#ff8ad8}"
    ".s8{stroke:#c0c4c8;fill:#c0c4c8}.s9{stroke:#e0e060;fill:#e0e060}}";

// Longer words than English's, on a phone: a word wider than its column breaks rather than
// widen its table past the screen. Numbers never wrap (.n), so they never break either.
const char* const LongWordsStyle =
    "@media (max-width:40rem){td,th,caption,summary{overflow-wrap:anywhere}}";

} // namespace

// The document up to its body: one style element, the same whatever the page shows, so that a
// live page keeps its look when its body is replaced; and the live board's script.
void pageStart(OutputSink& out, const Words& words, std::string_view title, bool live,
               std::string_view cardUrl) {
    out.put("<!DOCTYPE html>\n<html lang=\"");
    out.put(words.code());
    out.put("\">\n<head>\n<meta charset=\"utf-8\">\n"
            "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>");
    out.put(title);
    out.put("</title>\n");
    if (!cardUrl.empty()) {
        // A chat shows the card under a link to the page.
        out.put("<meta property=\"og:title\" content=\"");
        out.put(escapeHtml(std::string(title)));
        out.put("\">\n<meta property=\"og:type\" content=\"website\">\n"
                "<meta property=\"og:image\" content=\"");
        out.put(escapeHtml(std::string(cardUrl)));
        out.put("\">\n<meta property=\"og:image:width\" content=\"1200\">\n"
                "<meta name=\"twitter:card\" content=\"summary_large_image\">\n");
    }
    out.put("<style>");
    out.put(htmlPageStyle(words.code()));
    out.put("</style>\n");
    if (live) {
        out.put(liveScriptElement());
    }
    out.put("</head>\n<body>\n");
}

// The live board's line: `said` (HTML), and what is wrong until mended. The script turns the
// line into the offline note when the board stops, the note's words kept here for it with the
// time it stopped left to fill.
void liveStatus(OutputSink& out, const LivePageParts& live, const std::string& said,
                const Words& words) {
    const std::string offline =
        live.run == 0 ? words.say(Word::LiveOfflineFirst, {{"time", "{time}"}})
                      : words.say(Word::LiveOfflineLast, {{"time", "{time}"},
                                                          {"changed", live.changedAt},
                                                          {"run", std::to_string(live.run)}});
    out.put("<div id=\"live\" data-run=\"");
    out.putNumber(static_cast<long long>(live.run));
    out.put("\" data-offline=\"");
    out.put(escapeHtml(offline));
    out.put("\" role=\"status\">\n<p class=\"when\">");
    out.put(said);
    out.put("</p>\n");
    for (const std::string& problem : live.problems) {
        out.put("<p class=\"attention\">");
        out.put(escapeHtml(problem));
        out.put("</p>\n");
    }
    out.put("</div>\n");
}

std::string htmlPageStyle(std::string_view language) {
    std::string style = std::string(Style) + DriverStyle + DarkStyle;
    if (language != DefaultLanguage) {
        style += LongWordsStyle;
    }
    return style;
}

} // namespace kvr
