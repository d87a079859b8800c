#include "report/live_board.h"

#include "report/html_text.h"

namespace kvr {

namespace {

// Large light type with a dark edge reads over any game footage; the page itself stays clear.
const char* const OverlayStyle =
    "html,body{background:transparent;margin:0}"
    "body{font-family:system-ui,\"Segoe UI\",Roboto,sans-serif;color:#fff;padding:24px}"
    "table{border-collapse:separate;border-spacing:0 6px;font-size:40px;font-weight:700;"
    "font-variant-numeric:tabular-nums;text-shadow:0 2px 4px #000}"
    "caption{text-align:left;font-size:28px;padding:0 0 4px 12px}"
    "td{background:rgba(16,20,26,.72);padding:6px 18px;white-space:nowrap}"
    "td:first-child{border-radius:8px 0 0 8px;text-align:right;color:#ffc44d}"
    "td:last-child{border-radius:0 8px 8px 0;text-align:right}"
    ".code{font-size:28px;font-weight:400;color:#c8d0da;margin-left:12px}";

// The overlay up to its standings: the one style element whatever the overlay shows.
std::string overlayStart(uint64_t runNumber) {
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<title>KVR standings</title>\n<style>" +
           std::string(OverlayStyle) + "</style>\n" + liveScriptElement() +
           "</head>\n<body>\n<main id=\"overlay\" data-run=\"" + std::to_string(runNumber) +
           "\">\n";
}

} // namespace

std::string liveScriptElement() {
    return "<script src=\"" + std::string(LiveScriptPath) + "\" defer></script>\n";
}

std::string overlayStyle() {
    return OverlayStyle;
}

OverlayParts renderOverlay(const RunResults& run, uint64_t runNumber, size_t rowLimit) {
    const RankingModel& model = run.ranking;
    OverlayParts parts;
    parts.head = overlayStart(runNumber) + "<table>\n<caption>Standings</caption>\n<tbody>\n";
    const size_t rows = std::min(rowLimit, model.standings.size());
    parts.rows.reserve(rows);
    for (size_t i = 0; i < rows; ++i) {
        const Standing& standing = model.standings[i];
        const RankedParticipant& p =
            model.participants[static_cast<size_t>(standing.participantIndex)];
        parts.rows.push_back("<tr><td>" + std::to_string(standing.place) + "</td><td>" +
                             escapeHtml(p.name) + "<span class=\"code\">" + escapeHtml(p.code) +
                             "</span></td><td>" + std::to_string(standing.points) + "</td></tr>\n");
    }
    parts.tail = "</tbody>\n</table>\n</main>\n</body>\n</html>\n";
    return parts;
}

OverlayParts renderWaitingOverlay() {
    OverlayParts parts;
    parts.head = overlayStart(0);
    parts.tail = "</main>\n</body>\n</html>\n";
    return parts;
}

// Replaces the body's content with the new page's, re-opens what the reader had open (by the
// first id inside each fold, or its summary's text), and puts the scroll back where it was.
// Never a reload: that flickers, and loses both.
const char* const LiveScript = R"js("use strict";
(function () {
  var holder = document.querySelector("[data-run]");
  if (!holder || !window.EventSource || !window.fetch || !window.DOMParser) {
    return;
  }
  var shown = holder.getAttribute("data-run");
  var busy = false;
  var wanted = null;

  function keyOf(fold) {
    if (fold.id) {
      return "#" + fold.id;
    }
    var inner = fold.querySelector("[id]");
    if (inner) {
      return "#" + inner.id;
    }
    var summary = fold.querySelector("summary");
    return summary ? "text:" + summary.textContent : "";
  }

  function update() {
    if (busy) {
      return;
    }
    busy = true;
    var asked = wanted;
    fetch(location.pathname + location.search, { cache: "no-store" })
      .then(function (response) {
        if (!response.ok) {
          throw new Error(response.status);
        }
        return response.text();
      })
      .then(function (text) {
        var fresh = new DOMParser().parseFromString(text, "text/html");
        var open = {};
        document.querySelectorAll("details[open]").forEach(function (fold) {
          open[keyOf(fold)] = true;
        });
        var x = window.scrollX;
        var y = window.scrollY;
        document.body.replaceChildren.apply(document.body,
          Array.prototype.slice.call(fresh.body.childNodes).map(function (node) {
            return document.adoptNode(node);
          }));
        document.title = fresh.title;
        document.querySelectorAll("details").forEach(function (fold) {
          if (open[keyOf(fold)]) {
            fold.open = true;
          }
        });
        window.scrollTo(x, y);
        var now = document.querySelector("[data-run]");
        shown = now ? now.getAttribute("data-run") : asked;
      })
      .catch(function () {})
      .then(function () {
        busy = false;
        if (wanted !== null && wanted !== shown && wanted !== asked) {
          update();
        }
      });
  }

  var events = new EventSource("/events");
  events.onmessage = function (event) {
    wanted = event.data;
    if (wanted !== shown) {
      update();
    }
  };
})();
)js";

} // namespace kvr
