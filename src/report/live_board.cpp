#include "report/live_board.h"

#include "report/html_text.h"
#include "report/words.h"

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
    ".code{font-size:28px;font-weight:400;color:#c8d0da;margin-left:12px}"
    // A board that stopped keeps its standings on the stream and says so only in small print.
    ".offline #overlay::after{content:attr(data-offline);display:block;"
    "padding:2px 12px;font-size:18px;font-weight:400;color:#c8d0da;opacity:.6;"
    "text-shadow:0 1px 2px #000}";

// The overlay up to its standings: the one style element whatever the overlay shows.
std::string overlayStart(uint64_t runNumber, const Words& words) {
    return "<!DOCTYPE html>\n<html lang=\"" + std::string(words.code()) +
           "\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
           std::string(words[Word::OverlayTitle]) + "</title>\n<style>" +
           std::string(OverlayStyle) + "</style>\n" + liveScriptElement() +
           "</head>\n<body>\n<main id=\"overlay\" data-run=\"" + std::to_string(runNumber) +
           "\" data-offline=\"" + escapeHtml(std::string(words[Word::OverlayOffline])) + "\">\n";
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
    const Words words(model.league.language);
    parts.head = overlayStart(runNumber, words) + "<table>\n<caption>" +
                 std::string(words[Word::OverlayCaption]) + "</caption>\n<tbody>\n";
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

OverlayParts renderWaitingOverlay(std::string_view language) {
    OverlayParts parts;
    parts.head = overlayStart(0, Words(language));
    parts.tail = "</main>\n</body>\n</html>\n";
    return parts;
}

// On each new run told by /events, fetches its page again and puts its body in place (and its
// style, should that differ), re-opens what the reader had open (by each fold's summary and
// place), and puts back what the reader was looking at (the first section heading in the
// window, else the heading or row at its top) where it was in the window: rows that arrive
// above it would push it down otherwise. Never a reload: that flickers, and loses all of it.
// When the stream breaks the board has stopped: the page says since when in its live line and
// keeps the last results, the overlay takes the class "offline" and says so in small print;
// both notes are in the page's words, in its data-offline. The browser reconnects
// by itself; the board tells its run first thing, and the page is fetched again even if the
// number is the same, since a board started anew counts from 1.
const char* const LiveScript = R"js("use strict";
(function () {
  var holder = document.querySelector("[data-run]");
  if (!holder || !window.EventSource || !window.fetch || !window.DOMParser) {
    return;
  }
  var shown = holder.getAttribute("data-run");
  var wanted = null;
  var stale = false;
  var busy = false;
  var offline = null;
  var later = null;
  var waited = false;
  var Marks = "h1,h2,h3,h4,h5,h6,summary,caption,tr,p,li,figure";
  var Headings = /^H[1-6]$/;

  // Text that names a thing from run to run: its numbers (a place, points, a count) change.
  function plain(text) {
    return text.replace(/[0-9]+/g, "#").replace(/\s+/g, " ").trim().slice(0, 120);
  }

  // A row is its driver or its event, not its place, points or movement.
  function textOf(node) {
    if (node.tagName === "TR") {
      return Array.prototype.filter.call(node.cells, function (cell) {
        return !cell.classList.contains("n") && !cell.classList.contains("move");
      }).map(function (cell) {
        return plain(cell.textContent);
      }).join("|");
    }
    return plain(node.textContent);
  }

  // Where a node is: the folds around it by their summaries, up to the section's id. Not the
  // ids inside folds: a driver's counts the drivers' files, and moves when one arrives.
  function scopeOf(node) {
    var parts = [];
    for (var up = node.parentElement; up && up !== document.body; up = up.parentElement) {
      if (up.tagName === "DETAILS") {
        var summary = up.querySelector("summary");
        parts.push(summary ? plain(summary.textContent) : "");
      } else if (up.tagName === "TABLE") {
        parts.push(up.id || up.getAttribute("data-event") ||
          (up.caption ? plain(up.caption.textContent) : ""));
      } else if (up.id && !up.classList.contains("folded")) {
        parts.push("#" + up.id);
        break;
      }
    }
    return parts.reverse().join("/");
  }

  // The nodes of `selector` with keys that find each again in the next run's page: where it
  // is, what it says, and which of the same it is.
  function keyed(selector, say) {
    var seen = {};
    return Array.prototype.map.call(document.body.querySelectorAll(selector), function (node) {
      var key = scopeOf(node) + ">" + node.tagName + ":" + say(node);
      seen[key] = (seen[key] || 0) + 1;
      return { node: node, key: key + "@" + seen[key] };
    });
  }

  function marks() {
    return keyed(Marks, textOf);
  }

  function folds() {
    return keyed("details", function (fold) {
      var summary = fold.querySelector("summary");
      return summary ? plain(summary.textContent) : "";
    });
  }

  // Whether `node` is on the screen: not folded away (a browser may still give a size to what
  // a closed fold holds), and with a size.
  function visible(node, box) {
    for (var fold = node.closest("details"); fold;
      fold = fold.parentElement && fold.parentElement.closest("details")) {
      var summary = fold.open ? null : fold.querySelector("summary");
      if (!fold.open && !(summary && summary.contains(node))) {
        return false;
      }
    }
    return box.width > 0 || box.height > 0;
  }

  // What the reader is looking at, best first: the first section heading in the window, what
  // is at the top of the window, the heading above it.
  function place() {
    if (window.scrollY <= 0) {
      return [];
    }
    var all = marks();
    var top = null;
    var above = null;
    for (var i = 0; i < all.length; i++) {
      var box = all[i].node.getBoundingClientRect();
      if (!visible(all[i].node, box)) {
        continue;
      }
      var here = { key: all[i].key, top: box.top };
      if (top === null && box.bottom > 0) {
        top = here;
      }
      if (Headings.test(all[i].node.tagName)) {
        if (box.top >= 0 && box.top < window.innerHeight) {
          return [here].concat(top ? [top] : []);
        }
        if (box.bottom <= 0) {
          above = here;
        }
      }
      if (box.top >= window.innerHeight) {
        break;
      }
    }
    return (top ? [top] : []).concat(above ? [above] : []);
  }

  function putBack(where) {
    if (where.length === 0) {
      return;
    }
    var byKey = {};
    marks().forEach(function (mark) {
      byKey[mark.key] = mark.node;
    });
    for (var i = 0; i < where.length; i++) {
      var node = byKey[where[i].key];
      var box = node ? node.getBoundingClientRect() : null;
      if (box && visible(node, box)) {
        window.scrollBy(0, box.top - where[i].top);
        return;
      }
    }
  }

  function styleOf(doc) {
    return Array.prototype.map.call(doc.head.querySelectorAll("style"), function (style) {
      return style.textContent;
    }).join("\n");
  }

  // A style the page's policy refuses gets no sheet: the old one stays then.
  function takeStyle(fresh) {
    if (styleOf(fresh) === styleOf(document)) {
      return;
    }
    var old = Array.prototype.slice.call(document.head.querySelectorAll("style"));
    var added = Array.prototype.map.call(fresh.head.querySelectorAll("style"), function (style) {
      return document.head.appendChild(document.adoptNode(style));
    });
    var refused = added.some(function (style) {
      return !style.sheet;
    });
    (refused ? added : old).forEach(function (style) {
      style.remove();
    });
  }

  function show(text) {
    var fresh = new DOMParser().parseFromString(text, "text/html");
    var open = {};
    folds().forEach(function (fold) {
      open[fold.key] = fold.node.open;
    });
    var where = place();
    var x = window.scrollX;
    var y = window.scrollY;
    takeStyle(fresh);
    document.body.replaceChildren.apply(document.body,
      Array.prototype.slice.call(fresh.body.childNodes).map(function (node) {
        return document.adoptNode(node);
      }));
    document.title = fresh.title;
    folds().forEach(function (fold) {
      if (open[fold.key]) {
        fold.node.open = true;
      }
    });
    window.scrollTo(x, y);
    putBack(where);
    var now = document.querySelector("[data-run]");
    return now ? now.getAttribute("data-run") : null;
  }

  function due() {
    return wanted !== null && (stale || wanted !== shown);
  }

  function update() {
    if (busy || offline || !due()) {
      return;
    }
    // A board started anew has no run yet for a moment: its results come soon, and a stream
    // must not flash empty meanwhile. One that stays without results is shown so.
    if (wanted === "0" && shown !== "0" && !waited) {
      if (later === null) {
        later = setTimeout(function () {
          later = null;
          waited = true;
          update();
        }, 3000);
      }
      return;
    }
    busy = true;
    stale = false;
    var asked = wanted;
    fetch(location.pathname + location.search, { cache: "no-store" })
      .then(function (response) {
        if (!response.ok) {
          throw new Error(response.status);
        }
        return response.text();
      })
      .then(function (text) {
        shown = show(text) || asked;
      })
      .catch(function () {})
      .then(function () {
        busy = false;
        if (due() && (wanted !== asked || stale)) {
          update();
        }
      });
  }

  function two(n) {
    return (n < 10 ? "0" : "") + n;
  }

  function goneOffline() {
    if (offline) {
      return;
    }
    offline = new Date();
    stale = true;
    document.documentElement.classList.add("offline");
    var status = document.getElementById("live");
    var line = status && status.querySelector(".when");
    if (!line) {
      return;
    }
    line.setAttribute("data-live", line.textContent);
    line.classList.add("attention");
    line.textContent = (status.getAttribute("data-offline") || "").replace("{time}",
      two(offline.getHours()) + ":" + two(offline.getMinutes()) + ":" +
      two(offline.getSeconds()));
  }

  function backOnline() {
    if (!offline) {
      return;
    }
    offline = null;
    document.documentElement.classList.remove("offline");
    var line = document.querySelector("#live .when[data-live]");
    if (line) {
      line.textContent = line.getAttribute("data-live");
      line.removeAttribute("data-live");
      line.classList.remove("attention");
    }
  }

  function listen() {
    var events = new EventSource("/events");
    events.onopen = backOnline;
    events.onmessage = function (event) {
      backOnline();
      wanted = event.data;
      waited = waited && wanted === "0";
      update();
    };
    events.onerror = function () {
      goneOffline();
      // Refused outright (a busy board): the browser does not try again by itself then.
      if (events.readyState === EventSource.CLOSED) {
        setTimeout(listen, 5000);
      }
    };
  }
  listen();
})();
)js";

} // namespace kvr
