// The encoder.
//
// Input is appended to one buffer that starts with the 4096 spaces the ring
// holds before any output, so that every match is a plain comparison of two
// places in the buffer, initial spaces and overlap with its own output
// included. The buffer keeps the 4096 bytes of history before the position
// being matched, and is shifted forward as input arrives.
//
// Optimal level. The exact cost makes the best encoding a shortest path over
// positions: from position i, a literal reaches i + 1 for 9 bits and a match
// reaches i + 3 ... i + L(i) for 17 bits each, L(i) being the longest match
// at i. Any shorter length of a match is a match too, so the longest match at
// each position is all the parse needs.
//
// The longest matches come from binary trees of the window's positions,
// ordered by the 18 bytes that start there, one tree per hash of the first
// three bytes (a match needs three equal bytes, so one tree holds every
// candidate). Inserting a position walks from the root, splitting the tree
// into what sorts before and after the new position, which becomes the root.
// The longest common prefix with any member is reached by the position's
// neighbours in sort order, and both lie on that walk, so the search is
// exhaustive. Every node is newer than the nodes below it, so the walk stops
// at the first node older than the window with nothing in the window missed.
// A node whose 18 bytes equal the new position's is replaced by it: matches
// are never longer than 18, and the newer one stays in the window longer.
//
// The shortest path runs forward. When the parse arrays fill, every best path
// to the end must pass one of the last 18 positions (no step is longer), and
// the paths to those positions share a prefix; that prefix is final and is
// written out. Only when the paths do not meet within the block is a block cut
// at a position of our choosing, at a loss of a few bits.
//
// Greedy level: hash chains searched to a fixed depth; the longest match
// found is taken, or a literal.
#include <algorithm>
#include <bit>
#include <cstring>

#include "szdd/Szdd.h"

namespace szdd {
namespace {

constexpr std::size_t History = WindowSize;
// Tree and chain links are kept per position modulo this, and stored
// positions are biased by it, so that 0 is never inside the window.
constexpr std::uint32_t Slots = 2 * WindowSize;
constexpr std::uint32_t SlotMask = Slots - 1;
constexpr std::uint32_t PosBias = Slots;
constexpr unsigned HashBits = 14;
constexpr unsigned GreedyDepth = 48;
// Room for input beyond the parse block, so that each refill takes a fair
// amount.
constexpr std::size_t InputRoom = std::size_t{1} << 15;
// Comparisons load 8 bytes at a time past the bytes that count.
constexpr std::size_t Slack = 32;
constexpr std::uint32_t Unreached = 0xFFFFFFFFu / 2;

std::uint32_t Hash3(const std::uint8_t* p) {
    std::uint32_t v =
        p[0] | static_cast<std::uint32_t>(p[1]) << 8 | static_cast<std::uint32_t>(p[2]) << 16;
    return (v * 0x9E3779B1u) >> (32 - HashBits);
}

// Length of the common prefix of `a` and `b`, known to be at least `from`,
// at most `limit` (18 at most). Reads up to 7 bytes past `limit`.
unsigned CommonPrefix(const std::uint8_t* a, const std::uint8_t* b, unsigned from, unsigned limit) {
    unsigned n = from;
    if constexpr (std::endian::native == std::endian::little) {
        while (n < limit) {
            std::uint64_t x, y;
            std::memcpy(&x, a + n, 8);
            std::memcpy(&y, b + n, 8);
            if (std::uint64_t diff = x ^ y) {
                n += static_cast<unsigned>(std::countr_zero(diff)) / 8;
                break;
            }
            n += 8;
        }
        return std::min(n, limit);
    } else {
        while (n < limit && a[n] == b[n]) ++n;
        return n;
    }
}

// Collects tokens into groups of eight behind their control byte.
class TokenWriter {
public:
    void Literal(std::uint8_t byte, std::vector<std::uint8_t>& out) {
        control_ |= static_cast<std::uint8_t>(1u << items_);
        group_[size_++] = byte;
        bits_ += LiteralBits;
        Next(out);
    }
    // `from` is the ring position the match copies from.
    void Match(std::uint32_t from, unsigned length, std::vector<std::uint8_t>& out) {
        group_[size_++] = static_cast<std::uint8_t>(from);
        group_[size_++] = static_cast<std::uint8_t>((from >> 4 & 0xF0) | (length - MinMatch));
        bits_ += MatchBits;
        Next(out);
    }
    void Flush(std::vector<std::uint8_t>& out) {
        if (items_ == 0) return;
        group_[0] = control_;
        out.insert(out.end(), group_, group_ + size_);
        control_ = 0;
        items_ = 0;
        size_ = 1;
    }
    std::uint64_t Bits() const { return bits_; }

private:
    void Next(std::vector<std::uint8_t>& out) {
        if (++items_ == 8) Flush(out);
    }

    std::uint8_t group_[1 + 8 * 2] = {};
    std::size_t size_ = 1;
    unsigned items_ = 0;
    std::uint8_t control_ = 0;
    std::uint64_t bits_ = 0;
};

}  // namespace

class Encoder::Impl {
public:
    explicit Impl(EncoderOptions options)
        : level_(options.level),
          block_(std::max<std::size_t>(options.blockSize, 1)),
          capacity_(SlotMask + History + block_ + MaxMatch + InputRoom),
          buf_(capacity_ + Slack),
          head_(std::size_t{1} << HashBits, 0),
          links_(level_ == Level::Optimal ? 2 * Slots : Slots, 0) {
        std::memset(buf_.data(), ' ', History);
        filled_ = History;
        // Every initial position up to 4096 - 18 holds 18 spaces; in a tree
        // each would replace the one before it, so the last of them stands
        // for all. (The greedy chains keep it too: it gives the longest run
        // of spaces there is.)
        cur_ = History - MaxMatch;
        start_ = History;
        if (level_ == Level::Optimal) {
            GrowParse(MaxMatch + 1);
            cost_[0] = 0;
        }
    }

    void Update(std::span<const std::uint8_t> input, std::vector<std::uint8_t>& out) {
        while (!input.empty()) {
            if (filled_ == capacity_) MakeRoom();
            std::size_t n = std::min(input.size(), capacity_ - filled_);
            std::memcpy(buf_.data() + filled_, input.data(), n);
            filled_ += n;
            input = input.subspan(n);
            Run(false, out);
        }
    }

    void Finish(std::vector<std::uint8_t>& out) {
        Run(true, out);
        writer_.Flush(out);
    }

    std::uint64_t Bits() const { return writer_.Bits(); }
    std::uint64_t ForcedCuts() const { return forcedCuts_; }

private:
    // Position x of the buffer sits at ring position (x - 16) mod 4096: the
    // buffer starts with the 4096 initial spaces, the first of which is at
    // 4096 - 16, and shifts are multiples of 4096.
    static std::uint32_t RingOf(std::size_t x) {
        return static_cast<std::uint32_t>(x - 16) & (WindowSize - 1);
    }

    void Run(bool final, std::vector<std::uint8_t>& out) {
        if (level_ == Level::Optimal) {
            RunOptimal(final, out);
        } else {
            RunGreedy(final, out);
        }
    }

    // Drops what is neither history nor unparsed, in steps of Slots so that
    // link slots keep their meaning; stored positions move with the bytes.
    void MakeRoom() {
        std::size_t keep = std::min(start_, cur_ >= History ? cur_ - History : 0);
        std::size_t shift = keep / Slots * Slots;
        if (shift == 0) return;
        std::memmove(buf_.data(), buf_.data() + shift, filled_ - shift);
        filled_ -= shift;
        cur_ -= shift;
        start_ -= shift;
        const auto s = static_cast<std::uint32_t>(shift);
        for (std::uint32_t& p : head_) p = p > s ? p - s : 0;
        for (std::uint32_t& p : links_) p = p > s ? p - s : 0;
    }

    // ---- optimal level

    void RunOptimal(bool final, std::vector<std::uint8_t>& out) {
        // The initial spaces go into the trees; they are not positions of the
        // parse.
        while (cur_ < start_ && cur_ + MaxMatch <= filled_) {
            std::size_t ignored;
            TreeInsert(cur_, ignored);
            ++cur_;
        }
        if (final) cur_ = std::max(cur_, start_);
        for (;;) {
            const bool keyComplete = cur_ + MaxMatch <= filled_;
            if (!keyComplete && !(final && cur_ < filled_)) break;
            if (cur_ - start_ == block_) {
                CommitBlock(out);
                MakeRoom();
                continue;
            }
            std::size_t at = 0;
            unsigned length = keyComplete ? TreeInsert(cur_, at) : SearchTail(cur_, at);
            Relax(cur_ - start_, length, at);
            ++cur_;
        }
        if (final) {
            std::size_t end = cur_ - start_;
            Emit(end, out);
        }
    }

    // Inserts position `x` into its tree and returns the longest match of
    // 3 to 18 bytes there (0 when there is none), setting `at` to its source.
    unsigned TreeInsert(std::size_t x, std::size_t& at) {
        const std::uint8_t* const base = buf_.data();
        const std::uint8_t* const key = base + x;
        const auto pos = static_cast<std::uint32_t>(x + PosBias);
        std::uint32_t& root = head_[Hash3(key)];
        std::uint32_t cand = root;
        root = pos;
        std::uint32_t* before = &links_[2 * (pos & SlotMask)];  // where smaller nodes hang
        std::uint32_t* after = before + 1;                      // where larger nodes hang
        unsigned lenBefore = 0, lenAfter = 0, best = 0;
        for (;;) {
            if (pos - cand > WindowSize) {
                *before = 0;
                *after = 0;
                break;
            }
            const std::uint8_t* other = base + (cand - PosBias);
            // Everything between the bounds shares their common prefix.
            unsigned len = CommonPrefix(other, key, std::min(lenBefore, lenAfter), MaxMatch);
            if (len > best) {
                best = len;
                at = cand - PosBias;
            }
            std::uint32_t* node = &links_[2 * (cand & SlotMask)];
            if (len == MaxMatch) {
                *before = node[0];
                *after = node[1];
                break;
            }
            if (other[len] < key[len]) {
                *before = cand;
                before = node + 1;
                cand = node[1];
                lenBefore = len;
            } else {
                *after = cand;
                after = node;
                cand = node[0];
                lenAfter = len;
            }
        }
        return best >= MinMatch ? best : 0;
    }

    // The longest match at one of the last 17 positions, whose bytes do not
    // make a whole key and which are not in the trees. The trees are searched
    // without changing them: a search for the shorter key still passes its
    // neighbours in sort order. The positions that are not in the trees, the
    // last 17, are tried one by one. (Initial spaces below 4096 - 18 are in
    // the trees through the one that stands for them.)
    unsigned SearchTail(std::size_t x, std::size_t& at) {
        const std::uint8_t* const base = buf_.data();
        const std::uint8_t* const key = base + x;
        const auto limit = static_cast<unsigned>(filled_ - x);
        unsigned best = 0;
        if (limit < MinMatch) return 0;

        const auto pos = static_cast<std::uint32_t>(x + PosBias);
        std::uint32_t cand = head_[Hash3(key)];
        unsigned lenBefore = 0, lenAfter = 0;
        while (pos - cand <= WindowSize) {
            const std::uint8_t* other = base + (cand - PosBias);
            unsigned len = CommonPrefix(other, key, std::min(lenBefore, lenAfter), limit);
            if (len > best) {
                best = len;
                at = cand - PosBias;
            }
            if (len == limit) break;
            const std::uint32_t* node = &links_[2 * (cand & SlotMask)];
            if (other[len] < key[len]) {
                cand = node[1];
                lenBefore = len;
            } else {
                cand = node[0];
                lenAfter = len;
            }
        }

        const std::size_t firstOutside = filled_ - (MaxMatch - 1);
        for (std::size_t y = std::max(firstOutside, x - WindowSize); y < x && best < limit; ++y) {
            unsigned n = 0;
            while (n < limit && base[y + n] == key[n]) ++n;
            if (n > best) {
                best = n;
                at = y;
            }
        }
        return best >= MinMatch ? best : 0;
    }

    // The parse arrays grow with the input, up to a block, so that small
    // inputs do not pay for a whole block.
    void GrowParse(std::size_t needed) {
        std::size_t size = std::min(std::max(needed, 2 * cost_.size()), block_ + MaxMatch + 1);
        cost_.resize(size, Unreached);
        how_.resize(size, 0);
        from_.resize(size, 0);
    }

    void Relax(std::size_t i, unsigned longest, std::size_t at) {
        if (i + MaxMatch >= cost_.size()) GrowParse(i + MaxMatch + 1);
        // Among equal costs the latest step wins. Taking the earliest instead
        // keeps the paths through a run of matches apart for good: each
        // would step back 18 at a time from its own residue.
        const std::uint32_t here = cost_[i];
        if (here + LiteralBits <= cost_[i + 1]) {
            cost_[i + 1] = here + LiteralBits;
            how_[i + 1] = 1;
        }
        if (longest == 0) return;
        from_[i] = static_cast<std::uint16_t>(RingOf(at));
        const std::uint32_t viaMatch = here + MatchBits;
        for (unsigned l = MinMatch; l <= longest; ++l) {
            if (viaMatch <= cost_[i + l]) {
                cost_[i + l] = viaMatch;
                how_[i + l] = static_cast<std::uint8_t>(l);
            }
        }
    }

    // The parse arrays are full: writes out the part of the path that no
    // later input can change and moves the rest to the front.
    void CommitBlock(std::vector<std::uint8_t>& out) {
        const std::size_t n = cur_ - start_;
        std::size_t heads[MaxMatch];
        std::size_t count = 0;
        for (std::size_t k = 0; k < MaxMatch && k <= n; ++k) heads[count++] = n - k;
        std::size_t meet;
        for (;;) {
            std::size_t high = *std::max_element(heads, heads + count);
            std::size_t low = *std::min_element(heads, heads + count);
            if (high == low) {
                meet = high;
                break;
            }
            for (std::size_t k = 0; k < count; ++k) {
                if (heads[k] == high) heads[k] -= how_[heads[k]];
            }
        }
        // A meeting point early in the block frees too little: cut instead.
        const bool forced = meet < std::max<std::size_t>(block_ / 8, 1);
        if (forced) {
            meet = n;
            ++forcedCuts_;
        }
        Emit(meet, out);

        const std::uint32_t base = cost_[meet];
        const std::size_t keep = cost_.size() - meet;
        for (std::size_t k = 0; k < keep; ++k) {
            std::uint32_t c = cost_[meet + k];
            cost_[k] = c >= Unreached ? Unreached : c - base;
            how_[k] = how_[meet + k];
        }
        std::fill(cost_.begin() + static_cast<std::ptrdiff_t>(keep), cost_.end(), Unreached);
        std::fill(how_.begin() + static_cast<std::ptrdiff_t>(keep), how_.end(), 0);
        std::copy(from_.begin() + static_cast<std::ptrdiff_t>(meet), from_.end(), from_.begin());
        if (forced) {
            // Paths past the cut came from positions before it that are no
            // longer on the path; they are parsed again from the cut.
            std::fill(cost_.begin() + 1, cost_.end(), Unreached);
        }
        start_ += meet;
    }

    // Writes the path that ends at position `end` of the block.
    void Emit(std::size_t end, std::vector<std::uint8_t>& out) {
        path_.clear();
        for (std::size_t k = end; k > 0; k -= how_[k]) {
            path_.push_back(static_cast<std::uint32_t>(k));
        }
        std::size_t from = 0;
        for (auto it = path_.rbegin(); it != path_.rend(); ++it) {
            std::size_t to = *it;
            if (to - from == 1) {
                writer_.Literal(buf_[start_ + from], out);
            } else {
                writer_.Match(from_[from], static_cast<unsigned>(to - from), out);
            }
            from = to;
        }
    }

    // ---- greedy level

    void RunGreedy(bool final, std::vector<std::uint8_t>& out) {
        while (cur_ < start_ && cur_ + MaxMatch <= filled_) ChainInsert(cur_++);
        if (final) {
            while (cur_ < start_) {
                if (cur_ + MinMatch <= filled_) ChainInsert(cur_);
                ++cur_;
            }
        }
        // Every position a match covers goes into the chains, and needs three
        // bytes for its hash: wait for that much beyond the longest match.
        constexpr std::size_t Lookahead = MaxMatch + MinMatch - 1;
        for (;;) {
            if (cur_ + Lookahead > filled_ && !(final && cur_ < filled_)) break;
            // Tokens are written as they are chosen: nothing before cur_ is
            // needed beyond the history.
            start_ = cur_;
            const auto limit =
                static_cast<unsigned>(std::min<std::size_t>(MaxMatch, filled_ - cur_));
            std::size_t at = 0;
            unsigned length = limit >= MinMatch ? ChainSearch(cur_, limit, at) : 0;
            if (length >= MinMatch) {
                writer_.Match(RingOf(at), length, out);
            } else {
                writer_.Literal(buf_[cur_], out);
                length = 1;
            }
            for (unsigned k = 0; k < length; ++k, ++cur_) {
                if (cur_ + MinMatch <= filled_) ChainInsert(cur_);
            }
        }
    }

    void ChainInsert(std::size_t x) {
        const auto pos = static_cast<std::uint32_t>(x + PosBias);
        std::uint32_t& first = head_[Hash3(buf_.data() + x)];
        links_[pos & SlotMask] = first;
        first = pos;
    }

    unsigned ChainSearch(std::size_t x, unsigned limit, std::size_t& at) {
        const std::uint8_t* const base = buf_.data();
        const auto pos = static_cast<std::uint32_t>(x + PosBias);
        std::uint32_t cand = head_[Hash3(base + x)];
        unsigned best = 0;
        for (unsigned depth = 0; depth < GreedyDepth && pos - cand <= WindowSize; ++depth) {
            std::size_t y = cand - PosBias;
            if (base[y + best] == base[x + best]) {
                unsigned len = CommonPrefix(base + y, base + x, 0, limit);
                if (len > best) {
                    best = len;
                    at = y;
                    if (best == limit) break;
                }
            }
            cand = links_[cand & SlotMask];
        }
        return best;
    }

    const Level level_;
    const std::size_t block_;
    const std::size_t capacity_;
    std::vector<std::uint8_t> buf_;
    std::size_t filled_;  // bytes of buf_ that hold input (or the initial spaces)
    std::size_t cur_;     // next position to match
    std::size_t start_;   // first position not yet written out
    std::vector<std::uint32_t> head_;
    std::vector<std::uint32_t> links_;  // tree children (two per slot) or chain links

    // Per position of the block: the cheapest cost found to reach it, the
    // last step of that path (1 for a literal, else a match's length), and
    // the ring position of the longest match that starts there.
    std::vector<std::uint32_t> cost_;
    std::vector<std::uint8_t> how_;
    std::vector<std::uint16_t> from_;
    std::vector<std::uint32_t> path_;
    std::uint64_t forcedCuts_ = 0;

    TokenWriter writer_;
};

Encoder::Encoder(EncoderOptions options) : impl_(std::make_unique<Impl>(options)) {}
Encoder::~Encoder() = default;
void Encoder::Update(std::span<const std::uint8_t> input, std::vector<std::uint8_t>& out) {
    impl_->Update(input, out);
}
void Encoder::Finish(std::vector<std::uint8_t>& out) {
    impl_->Finish(out);
}
std::uint64_t Encoder::Bits() const {
    return impl_->Bits();
}
std::uint64_t Encoder::ForcedCuts() const {
    return impl_->ForcedCuts();
}

}  // namespace szdd
