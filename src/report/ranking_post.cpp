#include "report/ranking_post.h"

#include "model/time_text.h"
#include "report/count_text.h"
#include "report/movement_text.h"
#include "report/post_decisions.h"
#include "report/words.h"

#include <algorithm>
#include <set>

namespace kvr {

namespace {

constexpr const char* ZeroWidthSpace = "\xE2\x80\x8B";
constexpr size_t ListedMost = 10; // records and new drivers named in the post
constexpr size_t MoversMost = 3;

size_t codePoints(std::string_view text) {
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// "Aino Karlsson (AKA)"
std::string driverText(const std::string& name, const std::string& code) {
    return chatText(name) + " (" + chatText(code) + ")";
}

std::string driverText(const RankingModel& model, int32_t participant) {
    const RankedParticipant& p = model.participants[static_cast<size_t>(participant)];
    return driverText(p.name, p.code);
}

class PostWriter {
  public:
    PostWriter(const RunResults& run, const std::string& pageName, const std::string& cardUrl)
        : run_(run), model_(run.ranking), season_(run.season), pageName_(pageName),
          cardUrl_(cardUrl), words_(run.ranking.league.language) {}

    std::vector<std::string> lines() {
        title();
        podium();
        teams();
        decisions();
        underReview();
        if (season_ != nullptr && season_->hasPrevious) {
            movers();
            records();
            newDrivers();
            leftDrivers();
        }
        if (!pageName_.empty()) {
            part();
            // An autolink: its text is taken as it is, never as emphasis.
            lines_.push_back(words_.say(Word::PostFullRanking, {{"url", "<" + pageName_ + ">"}}));
        }
        if (!cardUrl_.empty()) {
            // Bare, on its own line, so that the chat shows the picture under the post.
            part();
            lines_.push_back(cardUrl_);
        }
        // A line break alone is a space to a strict reader: two spaces make it a break.
        for (size_t i = 0; i + 1 < lines_.size(); ++i) {
            if (!lines_[i].empty() && !lines_[i + 1].empty()) {
                lines_[i] += "  ";
            }
        }
        return std::move(lines_);
    }

  private:
    void part() {
        if (!lines_.empty()) {
            lines_.emplace_back();
        }
    }

    void title() {
        const ReportTime& t = model_.time;
        lines_.push_back(
            "**" +
            words_.say(Word::PostTitle, {{"date", words_.longDate(t.year, t.month, t.day)}}) +
            "**");
        const std::string drivers =
            words_.count(Counted::Drivers, model_.participants.size() - model_.mergedFiles);
        std::string summary = drivers;
        if (season_ != nullptr && season_->hasPrevious) {
            summary = words_.say(
                Word::PostSummary,
                {{"drivers", drivers},
                 {"records", words_.count(Counted::RecordsBrokenCount, brokenRecords().size())}});
        } else if (season_ != nullptr) {
            summary = words_.say(Word::PostSummaryFirstRun, {{"drivers", drivers}});
        }
        lines_.push_back(summary);
    }

    void podium() {
        const size_t shown = std::min<size_t>(model_.standings.size(), 3);
        if (shown == 0) {
            return;
        }
        part();
        // A place kept is "(=)" beside lines that moved, and nothing when none did: a bare "="
        // reads as a sum left unfinished.
        const bool moves =
            season_ != nullptr && season_->hasPrevious &&
            std::any_of(season_->movements.begin(),
                        season_->movements.begin() + static_cast<long>(shown),
                        [](const StandingMovement& m) { return !m.movement || *m.movement != 0; });
        for (size_t i = 0; i < shown; ++i) {
            const Standing& s = model_.standings[i];
            std::string line = std::to_string(s.place) + ". " +
                               driverText(model_, s.participantIndex) + ": " +
                               words_.say(Word::PostPoints, {{"n", std::to_string(s.points)}});
            if (moves) {
                const StandingMovement& move = season_->movements[i];
                line += " " + (move.movement && *move.movement == 0
                                   ? std::string("(=)")
                                   : movementText(move, words_[Word::MovementNew]));
            }
            lines_.push_back(std::move(line));
        }
    }

    // "Teams: 1. Red Foxes 212, 2. Blue Hares 180"
    void teams() {
        if (model_.teams.empty()) {
            return;
        }
        std::string line(words_[Word::PostTeams]);
        for (const TeamStanding& t : model_.teams) {
            line += (&t == &model_.teams.front() ? " " : ", ") + std::to_string(t.place) + ". " +
                    chatText(model_.league.roster.teams[t.team].name) + " " +
                    std::to_string(t.points);
        }
        part();
        lines_.push_back(std::move(line));
    }

    void decisions() {
        const std::vector<std::string> told = postDecisionLines(run_, words_);
        if (told.empty()) {
            return;
        }
        part();
        lines_.push_back("**" + std::string(words_[Word::DecisionsHeading]) + "**");
        lines_.insert(lines_.end(), told.begin(), told.end());
    }

    void underReview() {
        const std::vector<std::string> flagged = postReviewLines(model_, words_);
        if (flagged.empty()) {
            return;
        }
        part();
        lines_.push_back("**" + std::string(words_[Word::UnderReview]) + "**");
        for (size_t i = 0; i < std::min(flagged.size(), ListedMost); ++i) {
            lines_.push_back(flagged[i]);
        }
        more(flagged.size());
    }

    void movers() {
        std::vector<size_t> climbed;
        for (size_t i = 0; i < model_.standings.size(); ++i) {
            const std::optional<int32_t>& move = season_->movements[i].movement;
            if (move && *move > 0) {
                climbed.push_back(i);
            }
        }
        if (climbed.empty()) {
            return;
        }
        const auto most = [this](size_t a, size_t b) {
            return *season_->movements[a].movement > *season_->movements[b].movement;
        };
        std::stable_sort(climbed.begin(), climbed.end(), most);
        climbed.resize(std::min(climbed.size(), MoversMost));
        part();
        lines_.push_back("**" + std::string(words_[Word::PostMovers]) + "**");
        for (size_t i : climbed) {
            const Standing& s = model_.standings[i];
            lines_.push_back(
                words_.say(Word::PostMover, {{"driver", driverText(model_, s.participantIndex)},
                                             {"move", movementText(season_->movements[i])},
                                             {"place", std::to_string(s.place)}}));
        }
    }

    // The records that beat the previous run's, by the size of the margin (equal margins in the
    // report's order).
    std::vector<const NewRecord*> brokenRecords() const {
        std::vector<const NewRecord*> broken;
        for (const NewRecord& record : season_->newRecords) {
            if (record.previous && record.marginHundredths) {
                broken.push_back(&record);
            }
        }
        std::stable_sort(broken.begin(), broken.end(), [](const NewRecord* a, const NewRecord* b) {
            return *a->marginHundredths > *b->marginHundredths;
        });
        return broken;
    }

    void records() {
        const std::vector<const NewRecord*> broken = brokenRecords();
        if (broken.empty()) {
            return;
        }
        part();
        lines_.push_back("**" + std::string(words_[Word::RecordsBroken]) + "**");
        for (size_t i = 0; i < std::min(broken.size(), ListedMost); ++i) {
            const NewRecord& r = *broken[i];
            lines_.push_back(
                words_.say(r.underReview ? Word::PostRecordUnderReview : Word::PostRecord,
                           {{"event", r.event->title()},
                            {"time", words_.time(r.now.hundredths)},
                            {"driver", driverText(r.now.name, r.now.code)},
                            {"seconds", words_.seconds(*r.marginHundredths)},
                            {"previous", driverText(r.previous->name, r.previous->code)}}));
        }
        more(broken.size());
    }

    // Drivers with a file for the first time in the season, when the season says who had one;
    // then those in the standings who were in none of its earlier standings (first points), or
    // back after a run without.
    void newDrivers() {
        std::set<DriverIdentity> told;
        if (season_->entrantsKnown && !season_->newDrivers.empty()) {
            part();
            lines_.push_back("**" + std::string(words_[Word::PostNewDrivers]) + "**");
            for (size_t k = 0; k < season_->newDrivers.size(); ++k) {
                const int32_t index = season_->newDrivers[k];
                const RankedParticipant& p = model_.participants[static_cast<size_t>(index)];
                told.insert(p);
                if (k < ListedMost) {
                    lines_.push_back(p.place > 0 ? standingText(static_cast<size_t>(p.place - 1))
                                                 : driverText(model_, index));
                }
            }
            more(season_->newDrivers.size());
        }
        // A driver's second file in the standings is a copy, flagged under review: not back.
        std::vector<size_t> added[2];
        for (size_t i = 0; i < model_.standings.size(); ++i) {
            const DriverIdentity& driver =
                model_.participants[static_cast<size_t>(model_.standings[i].participantIndex)];
            const StandingMovement& move = season_->movements[i];
            if (told.insert(driver).second && !move.previousPlace) {
                added[move.firstPoints ? 0 : 1].push_back(i);
            }
        }
        standingsPart(words_[Word::PostFirstPoints], added[0]);
        standingsPart(words_[Word::PostBack], added[1]);
    }

    void leftDrivers() {
        if (season_->left.empty()) {
            return;
        }
        part();
        lines_.push_back("**" + std::string(words_[Word::PostLeft]) + "**");
        for (size_t k = 0; k < std::min(season_->left.size(), ListedMost); ++k) {
            lines_.push_back(driverText(season_->left[k].name, season_->left[k].code));
        }
        more(season_->left.size());
    }

    void standingsPart(std::string_view heading, const std::vector<size_t>& added) {
        if (added.empty()) {
            return;
        }
        part();
        lines_.push_back("**" + std::string(heading) + "**");
        for (size_t k = 0; k < std::min(added.size(), ListedMost); ++k) {
            lines_.push_back(standingText(added[k]));
        }
        more(added.size());
    }

    // "Aino Karlsson (AKA): place 4, 12 pts"
    std::string standingText(size_t standing) const {
        const Standing& s = model_.standings[standing];
        return words_.say(Word::PostStanding, {{"driver", driverText(model_, s.participantIndex)},
                                               {"place", std::to_string(s.place)},
                                               {"n", std::to_string(s.points)}});
    }

    void more(size_t count) {
        if (count > ListedMost) {
            lines_.push_back(
                words_.say(Word::PostMore, {{"n", std::to_string(count - ListedMost)}}));
        }
    }

    const RunResults& run_;
    const RankingModel& model_;
    const SeasonChanges* season_;
    const std::string& pageName_;
    const std::string& cardUrl_;
    std::vector<std::string> lines_;
    const Words words_;
};

} // namespace

std::string chatText(std::string_view text) {
    // Spaces at the edges mean nothing in a chat, and leading ones could indent a line into code.
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    std::string out;
    out.reserve(text.size() + 8);
    // A leading list marker ("- x", "+ x", "1. x") would make a list of the line it starts.
    size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
        ++digits;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool leadingMarker =
            (i == 0 && (c == '-' || c == '+')) || (i == digits && digits > 0 && c == '.');
        if (leadingMarker || std::string_view("\\*_~`|>#[]()<").find(c) != std::string_view::npos) {
            out += '\\';
        }
        out += c;
        if (c == '@') {
            out += ZeroWidthSpace;
        } else if (c == ':' && text.substr(i + 1, 2) == "//") {
            out += ZeroWidthSpace;
        }
    }
    return out;
}

std::vector<std::string> chatMessages(const std::vector<std::string>& lines, size_t limit) {
    std::vector<std::string> messages;
    std::string message;
    size_t length = 0; // of `message`, in characters
    auto close = [&] {
        while (!message.empty() && message.back() == '\n') {
            message.pop_back();
        }
        if (!message.empty()) {
            messages.push_back(std::move(message));
        }
        message.clear();
        length = 0;
    };
    for (const std::string& line : lines) {
        const size_t size = codePoints(line);
        if (!message.empty() && length + 1 + size > limit) {
            close();
        }
        if (message.empty() && line.empty()) {
            continue; // no message starts with a blank line
        }
        if (!message.empty()) {
            message += '\n';
            ++length;
        }
        message += line;
        length += size;
    }
    close();
    return messages;
}

void renderPost(const RunResults& run, const std::string& pageName, OutputSink& out,
                const std::string& cardUrl) {
    const std::vector<std::string> messages =
        chatMessages(PostWriter(run, pageName, cardUrl).lines(), PostMessageLimit);
    for (size_t i = 0; i < messages.size(); ++i) {
        if (i > 0) {
            // A blank line first: "---" under a line of text would underline it as a heading.
            out.put("\n");
            out.put(PostMessageSeparator);
            out.put("\n\n");
        }
        out.put(messages[i]);
        out.put('\n');
    }
}

std::string renderPost(const RunResults& run, const std::string& pageName) {
    StringSink out;
    renderPost(run, pageName, out);
    return out.take();
}

} // namespace kvr
