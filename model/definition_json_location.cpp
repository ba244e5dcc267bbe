// Where things are in a JSON document's text: the line of the value at a
// path ("keys[3].layers.no-fn.string"), and the path of the value the
// parser is reading, so that every refusal can name both.
#include "model/definition_json_fields.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace quillan::json_form {
namespace {

struct Step {
    std::string name; // a field, or
    int index = -1;   // a list element
};

std::vector<Step> stepsOf(const std::string& path) {
    std::vector<Step> steps;
    size_t i = 0;
    while (i < path.size()) {
        if (path[i] == '.') {
            ++i;
        } else if (path[i] == '[') {
            const size_t end = path.find(']', i);
            steps.push_back({"", std::atoi(path.c_str() + i + 1)});
            i = end == std::string::npos ? path.size() : end + 1;
        } else {
            const size_t end = std::min(path.find_first_of(".[", i), path.size());
            steps.push_back({path.substr(i, end - i), -1});
            i = end;
        }
    }
    return steps;
}

// Walks a text the parser has accepted up to the point of interest.
class Walker {
  public:
    explicit Walker(const std::string& text) : t_(text) {}

    // Position of the value at steps[k..] within the value at the cursor;
    // the occurrence-th field of that name at the last step.
    size_t find(const std::vector<Step>& steps, size_t k, int occurrence) {
        space();
        if (k == steps.size())
            return at_;
        const Step& step = steps[k];
        if (at_ >= t_.size() || t_[at_] != (step.index < 0 ? '{' : '['))
            return std::string::npos;
        ++at_;
        for (int n = 0;; ++n) {
            space();
            if (at_ >= t_.size() || t_[at_] == '}' || t_[at_] == ']')
                return std::string::npos;
            bool match = n == step.index;
            if (step.index < 0) {
                match = text() == step.name && (k + 1 < steps.size() || --occurrence == 0);
                space();
                ++at_; // ':'
            }
            if (match)
                return find(steps, k + 1, occurrence);
            skipValue();
            space();
            if (at_ < t_.size() && t_[at_] == ',')
                ++at_;
        }
    }

  private:
    void space() {
        while (at_ < t_.size() && isOneOf(t_[at_], " \t\r\n"))
            ++at_;
    }
    // A string's characters as written (escapes left as they are).
    std::string text() {
        std::string s;
        for (++at_; at_ < t_.size() && t_[at_] != '"'; ++at_) {
            if (t_[at_] == '\\')
                s += t_[at_++];
            if (at_ < t_.size())
                s += t_[at_];
        }
        ++at_;
        return s;
    }
    static bool isOneOf(char c, const char* set) { return c != '\0' && std::strchr(set, c); }
    void skipValue() {
        space();
        if (at_ < t_.size() && t_[at_] == '"') {
            text();
            return;
        }
        if (at_ < t_.size() && (t_[at_] == '{' || t_[at_] == '[')) {
            int depth = 0;
            while (at_ < t_.size()) {
                const char c = t_[at_];
                if (c == '"') {
                    text();
                    continue;
                }
                ++at_;
                if (c == '{' || c == '[')
                    ++depth;
                else if ((c == '}' || c == ']') && --depth == 0)
                    return;
            }
            return;
        }
        while (at_ < t_.size() && !isOneOf(t_[at_], ",}] \t\r\n"))
            ++at_;
    }

    const std::string& t_;
    size_t at_ = 0;
};

} // namespace

int lineOfPath(const std::string& text, const std::string& path, int occurrence) {
    const size_t at = Walker(text).find(stepsOf(path), 0, occurrence);
    if (at == std::string::npos)
        return 0;
    return 1 +
           static_cast<int>(std::count(text.begin(), text.begin() + static_cast<long>(at), '\n'));
}

void PathTracker::onEvent(Json::parse_event_t event, const Json& parsed) {
    using Event = Json::parse_event_t;
    switch (event) {
    case Event::object_start:
    case Event::array_start:
        if (!frames_.empty() && frames_.back().isList)
            ++frames_.back().index;
        frames_.push_back({event == Event::array_start, -1, {}, {}});
        break;
    case Event::key: {
        Frame& top = frames_.back();
        top.key = parsed.get<std::string>();
        if (!top.seen.insert(top.key).second)
            throw Refusal(current(), "field given twice", 2);
        break;
    }
    case Event::value:
        if (!frames_.empty() && frames_.back().isList)
            ++frames_.back().index;
        break;
    case Event::object_end:
    case Event::array_end:
        frames_.pop_back();
        break;
    }
}

std::string PathTracker::current() const {
    std::string path;
    for (const Frame& frame : frames_) {
        // The innermost list has not counted the element it is reading yet.
        const bool innermost = &frame == &frames_.back();
        if (frame.isList)
            path += "[" + std::to_string(frame.index + (innermost ? 1 : 0)) + "]";
        else if (!frame.key.empty())
            path += (path.empty() ? "" : ".") + frame.key;
    }
    return path;
}

} // namespace quillan::json_form
