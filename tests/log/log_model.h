// A plain model of the log readers for comparing with the buffered ones: the text with its
// carriage returns removed, cut into fields ("tokens") each ending with ";" or a line end,
// a last line without a line end counting as a line. The model walks the tokens with the same
// counters as the readers but knows nothing of blocks, so any difference points at the
// buffering, the put-back of a byte that did not fit, or the skipping.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class LogModel {
  public:
    struct Result {
        int code = 0;
        std::string text; // what the buffer must hold
    };

    LogModel(std::string_view bytes, int32_t lines_written) : lines_written_(lines_written) {
        empty_file_ = bytes.empty();
        clean_.assign(bytes);
        clean_.erase(std::remove(clean_.begin(), clean_.end(), '\r'), clean_.end());
        if (!clean_.empty() && clean_.back() != '\n') clean_ += '\n';
        bool line_start = true;
        for (size_t start = 0; start < clean_.size();) {
            const size_t end = clean_.find_first_of(";\n", start);
            if (line_start) line_starts_.push_back(tokens_.size());
            tokens_.push_back({start, end - start, clean_[end]});
            line_start = clean_[end] == '\n';
            start = end + 1;
        }
    }

    Result GetLine(int32_t line, int32_t field, int32_t size) {
        token_ = 0;
        offset_ = 0;
        line_ = 0;
        field_ = 0;
        while (line_ < line)
            if (!SkipLine()) return {-1, ""};
        while (field_ < field) {
            if (token_ == tokens_.size()) return {-1, ""};
            const char separator = Consume();
            if (separator == '\n') return {-1, ""};
        }
        Result r = ReadField(size);
        if (r.code == kFull) return {-2, r.text};
        return {r.code < 0 ? -1 : 0, r.text};
    }

    Result GetNextField(int32_t size) {
        Result r = ReadField(size);
        switch (r.code) {
            case ';':
                return {0, r.text};
            case '\n':
                return {-1, r.text};
            case kFull:
                return {-2, r.text};
            default:
                return {-3, r.text};
        }
    }

    Result GetField(int32_t field, int32_t size) {
        while (field_ != field) {
            if (token_ == tokens_.size()) return {-1, ""};
            if (field_ > field)
                SkipLine();
            else
                Consume();
        }
        Result r = ReadField(size);
        if (r.code == kFull) return {-2, r.text};
        return {r.code < 0 ? -1 : 0, r.text};
    }

    int SeekLinesFromEnd(int32_t count) {
        const size_t lines = line_starts_.size();
        if (empty_file_) {
            AtEnd();
            return -1;
        }
        if (count == 0) {
            AtEnd();
            line_ = lines_written_ + 2;
            field_ = 0;
            return 0;
        }
        // The first line has no line end before it, so it cannot be reached.
        if (static_cast<size_t>(count) >= lines || count < 0) {
            AtEnd();
            return -1;
        }
        token_ = line_starts_[lines - static_cast<size_t>(count)];
        offset_ = 0;
        line_ = lines_written_ + 2 - count;
        field_ = 0;
        return 0;
    }

    int32_t Line() const { return line_; }
    int32_t Field() const { return field_; }

  private:
    static constexpr int kFull = -3;
    struct Token {
        size_t start; // in clean_
        size_t length;
        char separator;
    };

    void AtEnd() {
        token_ = tokens_.size();
        offset_ = 0;
    }

    void Count(char separator) {
        if (separator == '\n') {
            ++line_;
            field_ = 0;
        } else {
            ++field_;
        }
    }

    // Moves past the rest of the current token and its separator.
    char Consume() {
        const char separator = tokens_[token_].separator;
        ++token_;
        offset_ = 0;
        Count(separator);
        return separator;
    }

    bool SkipLine() {
        while (token_ < tokens_.size())
            if (Consume() == '\n') return true;
        return false;
    }

    Result ReadField(int32_t size) {
        if (token_ == tokens_.size()) return {-1, ""};
        const Token& token = tokens_[token_];
        const std::string rest = clean_.substr(token.start + offset_, token.length - offset_);
        if (rest.size() > static_cast<size_t>(size - 1)) {
            offset_ += static_cast<size_t>(size - 1);
            return {kFull, rest.substr(0, static_cast<size_t>(size - 1))};
        }
        return {Consume(), rest};
    }

    std::string clean_; // the bytes without carriage returns, with a final line end
    std::vector<Token> tokens_;
    std::vector<size_t> line_starts_; // first token of every line
    bool empty_file_ = false;
    int32_t lines_written_ = 0;
    size_t token_ = 0;
    size_t offset_ = 0;
    int32_t line_ = 0;
    int32_t field_ = 0;
};
