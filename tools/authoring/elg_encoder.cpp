// ELG encoder: greedy parsing over a hash-chain match finder. At each position it weighs a run
// (fill), the best copy the chains find, the one-value forms (near copies, up-references) and a
// literal, and takes the form that saves the most bytes.
#include "authoring/elg_encoder.h"

#include <algorithm>
#include <unordered_map>

namespace elg {
namespace {

constexpr int kHashBits = 16;
constexpr int kChainDepth = 24;
constexpr long kSplitPenalty = 2;

// One way to encode the next `length` values: opcode class, distance (copies) or rows and column
// offset (up-references), and its cost in stream bytes.
struct Form {
    int op = -1;
    size_t length = 0;
    size_t distance = 0;
    size_t cost = 0;
    long saved = 0;  // bytes saved against literals
};

inline void Better(Form& best, const Form& f)
{
    if (best.op < 0 || f.saved > best.saved || (f.saved == best.saved && f.length > best.length))
        best = f;
}

// Shared frame: hash chains, the walk over the values, pending literals and bookkeeping of the
// classes used. Coder supplies Greedy, TryUnused and Value (writes one literal value). Both codings
// number their literal classes 0 (short run) and 1 (long run) and write the run lengths alike.
template <typename Coder, typename T, size_t kOpCount>
class StreamEncoder {
public:
    void Run()
    {
        Coder& coder = static_cast<Coder&>(*this);
        size_t pos = 0;
        while (pos < n_) {
            size_t covered = every_ ? coder.TryUnused(pos) : 0;
            if (covered == 0 && every_ && !AllUsed()) {
                // Step one value at a time until every class has had its chance.
                literals_.push_back(pos);
                covered = 1;
            }
            if (covered == 0)
                covered = coder.Greedy(pos);
            for (size_t i = 0; i < covered; ++i)
                Insert(pos + i);
            pos += covered;
        }
        FlushLiterals();
        out_.push_back(0xFF);
    }

protected:
    static constexpr int kLiteral = 0;
    static constexpr int kLiteralLong = 1;

    // counts: the coding's row of OpUse, or null.
    StreamEncoder(const T* v, size_t n, std::vector<uint8_t>& out, int hashUnits, bool every, uint32_t* counts)
        : v_(v), n_(n), out_(out), hashUnits_(hashUnits), head_(size_t{1} << kHashBits, -1), prev_(n, -1),
          every_(every), counts_(counts)
    {
    }
    void Count(int op)
    {
        if (counts_)
            ++counts_[op];
        used_[op] = true;
    }
    bool AllUsed() const { return std::all_of(used_.begin(), used_.end(), [](bool b) { return b; }); }
    void FlushLiterals()
    {
        size_t i = 0;
        while (i < literals_.size()) {
            const size_t left = literals_.size() - i;
            size_t l;
            if (left >= 33) {
                l = std::min<size_t>(left, 8224);
                out_.push_back(static_cast<uint8_t>(0x20 | ((l - 33) >> 8)));
                out_.push_back(static_cast<uint8_t>(l - 33));
                Count(kLiteralLong);
            } else {
                l = left;
                out_.push_back(static_cast<uint8_t>(l - 1));
                Count(kLiteral);
            }
            for (size_t k = 0; k < l; ++k)
                static_cast<Coder&>(*this).Value(v_[literals_[i + k]]);
            i += l;
        }
        literals_.clear();
    }
    // In every-opcode mode: a long literal run of 33 or a short one of 1 while that class is unused
    // (the long one only where 33 values are left); 0 when neither applies.
    size_t TryLiterals(size_t pos)
    {
        if (!used_[kLiteralLong] && n_ - pos >= 33) {
            FlushLiterals();
            for (size_t i = 0; i < 33; ++i)
                literals_.push_back(pos + i);
            FlushLiterals();
            return 33;
        }
        if (!used_[kLiteral]) {
            FlushLiterals();
            literals_.push_back(pos);
            FlushLiterals();
            return 1;
        }
        return 0;
    }
    uint32_t Hash(size_t p) const
    {
        uint32_t h = 0;
        for (int i = 0; i < hashUnits_; ++i)
            h = (h ^ static_cast<uint32_t>(v_[p + i])) * 2654435761u;
        return h >> (32 - kHashBits);
    }
    void Insert(size_t p)
    {
        if (p + hashUnits_ > n_)
            return;
        const uint32_t h = Hash(p);
        prev_[p] = head_[h];
        head_[h] = static_cast<long>(p);
    }
    size_t MatchLength(size_t p, size_t distance, size_t limit) const
    {
        size_t l = 0;
        while (l < limit && p + l < n_ && v_[p + l] == v_[p + l - distance])
            ++l;
        return l;
    }
    size_t RunLength(size_t p, size_t limit) const
    {
        size_t l = 1;
        while (l < limit && p + l < n_ && v_[p + l] == v_[p])
            ++l;
        return l;
    }
    // Walks the chain of position p, calling f(distance, matchLength) for each candidate.
    template <typename F>
    void Candidates(size_t p, size_t maxDistance, size_t maxLength, F f) const
    {
        if (p + hashUnits_ > n_)
            return;
        long cand = head_[Hash(p)];
        for (int depth = 0; cand >= 0 && depth < kChainDepth; ++depth, cand = prev_[cand]) {
            const size_t distance = p - static_cast<size_t>(cand);
            if (distance > maxDistance)
                break;
            f(distance, MatchLength(p, distance, maxLength));
        }
    }

    const T* v_;
    size_t n_;
    std::vector<uint8_t>& out_;
    int hashUnits_;
    std::vector<long> head_;
    std::vector<long> prev_;
    std::vector<size_t> literals_;  // positions of pending literal values
    bool every_;
    uint32_t* counts_;
    std::array<bool, kOpCount> used_{};
};

// Byte coding ---------------------------------------------------------------------------------

class ByteEncoder : StreamEncoder<ByteEncoder, uint8_t, kByteOpCount> {
public:
    ByteEncoder(const uint8_t* v, size_t n, bool every, std::vector<uint8_t>& out, OpUse* use)
        : StreamEncoder(v, n, out, 3, every, use ? use->byteOps.data() : nullptr)
    {
        static_assert(kByteLiteral == kLiteral && kByteLiteralLong == kLiteralLong);
    }
    using StreamEncoder::Run;

private:
    friend StreamEncoder;

    void Value(uint8_t v) { out_.push_back(v); }
    void Emit(const Form& f, size_t pos)
    {
        FlushLiterals();
        const size_t l = f.length;
        const size_t d = f.distance;
        switch (f.op) {
        case kByteFill:
            out_.push_back(static_cast<uint8_t>(0x40 | (l - 3)));
            out_.push_back(v_[pos]);
            break;
        case kByteFillLong:
            out_.push_back(static_cast<uint8_t>(0x60 | ((l - 35) >> 8)));
            out_.push_back(static_cast<uint8_t>(l - 35));
            out_.push_back(v_[pos]);
            break;
        case kByteCopyShort:
            out_.push_back(static_cast<uint8_t>(0x80 | (l - 2)));
            out_.push_back(static_cast<uint8_t>(d - 2));
            break;
        case kByteCopyLong:
            out_.push_back(static_cast<uint8_t>(0x90 | ((d - 3) >> 8)));
            out_.push_back(static_cast<uint8_t>(d - 3));
            out_.push_back(static_cast<uint8_t>(l - 4));
            break;
        case kByteCopy3:
        case kByteCopy4:
            out_.push_back(static_cast<uint8_t>((f.op == kByteCopy3 ? 0xA0 : 0xB0) | ((d - 3) >> 8)));
            out_.push_back(static_cast<uint8_t>(d - 3));
            break;
        case kByteCopy1Near:
            out_.push_back(static_cast<uint8_t>(0xC0 | (d - 1)));
            break;
        default:  // kByteCopy2Near
            out_.push_back(static_cast<uint8_t>(0xE0 | (d - 2)));
            break;
        }
        Count(f.op);
    }
    static Form Make(int op, size_t distance, size_t length, size_t cost)
    {
        return Form{op, length, distance, cost, static_cast<long>(length) - static_cast<long>(cost)};
    }
    // Every form a copy of up to `length` values from `distance` back can take.
    static void CopyForms(size_t distance, size_t length, Form& best)
    {
        if (distance >= 2 && distance <= 257 && length >= 2)
            Better(best, Make(kByteCopyShort, distance, std::min<size_t>(length, 17), 2));
        if (distance >= 3 && distance <= 4098) {
            if (length >= 5)
                Better(best, Make(kByteCopyLong, distance, std::min<size_t>(length, 259), 3));
            if (length >= 4)
                Better(best, Make(kByteCopy4, distance, 4, 2));
            if (length >= 3)
                Better(best, Make(kByteCopy3, distance, 3, 2));
        }
        if (distance >= 2 && distance <= 32 && length >= 2)
            Better(best, Make(kByteCopy2Near, distance, 2, 1));
        if (distance >= 1 && distance <= 32 && length >= 1)
            Better(best, Make(kByteCopy1Near, distance, 1, 1));
    }

    size_t Greedy(size_t pos)
    {
        Form best;
        Candidates(pos, 4098, 259, [&](size_t d, size_t l) { CopyForms(d, l, best); });
        for (size_t d = 1; d <= 32 && d <= pos; ++d)
            CopyForms(d, MatchLength(pos, d, 2), best);
        const size_t run = RunLength(pos, 8226);
        if (run >= 35)
            Better(best, Make(kByteFillLong, 0, run, 3));
        else if (run >= 3)
            Better(best, Make(kByteFill, 0, run, 2));
        // A one-byte copy costs as much as one more literal of an open run.
        if (best.op >= 0 && (best.saved > 0 || (best.saved == 0 && literals_.empty()))) {
            Emit(best, pos);
            return best.length;
        }
        literals_.push_back(pos);
        return 1;
    }

    // In every-opcode mode: the first class not yet used that the data allows here.
    size_t TryUnused(size_t pos)
    {
        if (const size_t covered = TryLiterals(pos))
            return covered;
        const size_t run = RunLength(pos, 35);
        if (!used_[kByteFillLong] && run >= 35) {
            Emit(Make(kByteFillLong, 0, 35, 3), pos);
            return 35;
        }
        if (!used_[kByteFill] && run >= 3) {
            Emit(Make(kByteFill, 0, 3, 2), pos);
            return 3;
        }
        const Form wants[] = {Make(kByteCopyShort, 2, 2, 2), Make(kByteCopyLong, 3, 5, 3),
                              Make(kByteCopy3, 258, 3, 2),    Make(kByteCopy4, 258, 4, 2),
                              Make(kByteCopy1Near, 1, 1, 1),  Make(kByteCopy2Near, 2, 2, 1)};
        for (const Form& w : wants) {
            if (!used_[w.op] && w.distance <= pos && MatchLength(pos, w.distance, w.length) == w.length) {
                Emit(w, pos);
                return w.length;
            }
        }
        return 0;
    }

};

// Pixel coding --------------------------------------------------------------------------------

class PixelEncoder : StreamEncoder<PixelEncoder, uint32_t, kPixelOpCount> {
public:
    PixelEncoder(const uint32_t* v, size_t n, size_t width, bool every, std::vector<uint8_t>& out, OpUse* use)
        : StreamEncoder(v, n, out, 2, every, use ? use->pixelOps.data() : nullptr), width_(width)
    {
        static_assert(kPixLiteral == kLiteral && kPixLiteralLong == kLiteralLong);
    }
    using StreamEncoder::Run;

private:
    friend StreamEncoder;

    void Value(uint32_t px)
    {
        out_.push_back(static_cast<uint8_t>(px));
        out_.push_back(static_cast<uint8_t>(px >> 8));
        out_.push_back(static_cast<uint8_t>(px >> 16));
    }
    static Form Make(int op, size_t distance, size_t length, size_t cost)
    {
        return Form{op, length, distance, cost, static_cast<long>(length * 3) - static_cast<long>(cost)};
    }
    void Emit(const Form& f, size_t pos)
    {
        FlushLiterals();
        const size_t l = f.length;
        const size_t d = f.distance;
        switch (f.op) {
        case kPixFill:
            out_.push_back(static_cast<uint8_t>(0x40 | (l - 2)));
            Value(v_[pos]);
            break;
        case kPixFillLong:
            out_.push_back(static_cast<uint8_t>(0x60 | ((l - 34) >> 8)));
            out_.push_back(static_cast<uint8_t>(l - 34));
            Value(v_[pos]);
            break;
        case kPixCopyShort:
            out_.push_back(static_cast<uint8_t>(0x80 | (l - 1)));
            out_.push_back(static_cast<uint8_t>(d - 2));
            break;
        case kPixCopyMid:
            out_.push_back(static_cast<uint8_t>(0x90 | ((d - 2) >> 8)));
            out_.push_back(static_cast<uint8_t>(d - 2));
            out_.push_back(static_cast<uint8_t>(l - 1));
            break;
        case kPixCopyFar:
            out_.push_back(static_cast<uint8_t>(0xA0 | ((d - 4098) >> 16)));
            out_.push_back(static_cast<uint8_t>((d - 4098) >> 8));
            out_.push_back(static_cast<uint8_t>(d - 4098));
            out_.push_back(static_cast<uint8_t>(l - 1));
            break;
        case kPixCopy1Near:
            out_.push_back(static_cast<uint8_t>(0xB0 | (d - 2)));
            break;
        case kPixCopy1Mid:
            out_.push_back(static_cast<uint8_t>(0xB8 | ((d - 10) >> 8)));
            out_.push_back(static_cast<uint8_t>(d - 10));
            break;
        case kPixCopy1Far:
            out_.push_back(static_cast<uint8_t>(0xCC | ((d - 2058) >> 8)));
            out_.push_back(static_cast<uint8_t>(d - 2058));
            break;
        case kPixUpFar:
        case kPixUpFarLeft:
        case kPixUpFarRight: {
            // distance holds the rows here
            const unsigned kind = static_cast<unsigned>(f.op - kPixUpFar);
            out_.push_back(static_cast<uint8_t>(0xC0 | (kind << 2) | ((d - 16) >> 8)));
            out_.push_back(static_cast<uint8_t>(d - 16));
            break;
        }
        case kPixUp:
            out_.push_back(static_cast<uint8_t>(0xD0 | (d - 1)));
            break;
        case kPixUpLeft:
            out_.push_back(static_cast<uint8_t>(0xE0 | (d - 1)));
            break;
        default:  // kPixUpRight
            out_.push_back(static_cast<uint8_t>(0xF0 | (d - 1)));
            break;
        }
        Count(f.op);
    }
    static void CopyForms(size_t distance, size_t length, Form& best)
    {
        if (length == 0 || distance < 2)
            return;
        if (distance <= 257)
            Better(best, Make(kPixCopyShort, distance, std::min<size_t>(length, 16), 2));
        if (distance <= 4097)
            Better(best, Make(kPixCopyMid, distance, std::min<size_t>(length, 256), 3));
        else if (distance <= 1052673)
            Better(best, Make(kPixCopyFar, distance, std::min<size_t>(length, 256), 4));
        if (distance <= 9)
            Better(best, Make(kPixCopy1Near, distance, 1, 1));
        else if (distance <= 2057)
            Better(best, Make(kPixCopy1Mid, distance, 1, 2));
        else if (distance <= 3081)
            Better(best, Make(kPixCopy1Far, distance, 1, 2));
    }
    // The up-reference of (rows, offset) at pos when it is allowed and matches.
    bool UpMatches(size_t pos, size_t rows, int offset) const
    {
        const size_t row = pos / width_;
        const size_t column = pos % width_;
        if (rows > row || (offset < 0 && column == 0) || (offset > 0 && column + 1 >= width_))
            return false;
        const size_t from = pos - rows * width_ + static_cast<size_t>(static_cast<long>(offset));
        return v_[from] == v_[pos];
    }
    static int UpOp(size_t rows, int offset)
    {
        if (rows > 16 || (rows == 16 && offset > 0))
            return kPixUpFar + (offset == 0 ? 0 : (offset < 0 ? 1 : 2));
        return kPixUp + (offset == 0 ? 0 : (offset < 0 ? 1 : 2));
    }

    size_t Greedy(size_t pos)
    {
        Form best;
        Candidates(pos, 1052673, 256, [&](size_t d, size_t l) { CopyForms(d, l, best); });
        for (size_t d = 2; d <= 9 && d <= pos; ++d)
            CopyForms(d, MatchLength(pos, d, 1), best);
        if (best.op < 0 || best.length == 1) {
            static constexpr int kOffsets[3] = {0, -1, 1};
            for (size_t rows = 1; rows <= 2; ++rows)
                for (int offset : kOffsets)
                    if (UpMatches(pos, rows, offset))
                        Better(best, Make(UpOp(rows, offset), rows, 1, 1));
        }
        const size_t run = RunLength(pos, 8225);
        if (run >= 34)
            Better(best, Make(kPixFillLong, 0, run, 5));
        else if (run >= 2)
            Better(best, Make(kPixFill, 0, run, 4));
        // Breaking an open literal run costs one opcode byte and one more operation to decode:
        // inside a run a form must save more than that to be worth it.
        if (best.op >= 0 && best.saved > (literals_.empty() ? 0 : kSplitPenalty)) {
            Emit(best, pos);
            return best.length;
        }
        literals_.push_back(pos);
        return 1;
    }

    size_t TryUnused(size_t pos)
    {
        if (const size_t covered = TryLiterals(pos))
            return covered;
        const size_t run = RunLength(pos, 34);
        if (!used_[kPixFillLong] && run >= 34) {
            Emit(Make(kPixFillLong, 0, 34, 5), pos);
            return 34;
        }
        if (!used_[kPixFill] && run >= 2) {
            Emit(Make(kPixFill, 0, 2, 4), pos);
            return 2;
        }
        const Form copies[] = {Make(kPixCopyShort, 2, 1, 2),    Make(kPixCopyMid, 2, 1, 3),
                               Make(kPixCopyFar, 4098, 1, 4),   Make(kPixCopy1Near, 2, 1, 1),
                               Make(kPixCopy1Mid, 10, 1, 2),    Make(kPixCopy1Far, 2058, 1, 2)};
        for (const Form& w : copies) {
            if (!used_[w.op] && w.distance <= pos && v_[pos] == v_[pos - w.distance]) {
                Emit(w, pos);
                return 1;
            }
        }
        struct Up {
            size_t rows;
            int offset;
        };
        const Up ups[] = {{16, 0}, {16, -1}, {16, 1}, {1, 0}, {1, -1}, {1, 1}};
        for (const Up& u : ups) {
            const int op = (u.rows == 16 ? kPixUpFar : kPixUp) + (u.offset == 0 ? 0 : (u.offset < 0 ? 1 : 2));
            if (!used_[op] && UpMatches(pos, u.rows, u.offset)) {
                Emit(Make(op, u.rows, 1, 1), pos);
                return 1;
            }
        }
        return 0;
    }

    size_t width_;
};

void Put16(std::vector<uint8_t>& out, int v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

}  // namespace

void EncodeByteStream(const uint8_t* values, size_t count, bool everyOpcode, std::vector<uint8_t>& out, OpUse* use)
{
    ByteEncoder(values, count, everyOpcode, out, use).Run();
}

void EncodePixelStream(const uint32_t* pixels, size_t count, size_t width, bool everyOpcode,
                       std::vector<uint8_t>& out, OpUse* use)
{
    std::vector<uint32_t> rgb(pixels, pixels + count);
    for (uint32_t& px : rgb)
        px &= 0xFFFFFF;
    PixelEncoder(rgb.data(), count, width == 0 ? 1 : width, everyOpcode, out, use).Run();
}

bool Encode(const Picture& picture, const Options& options, std::vector<uint8_t>& out, std::string* error,
            OpUse* use)
{
    auto fail = [&](const char* message) {
        if (error)
            *error = message;
        return false;
    };
    if (picture.width < 1 || picture.height < 1 || picture.width > 65535 || picture.height > 65535)
        return fail("width and height must be 1 to 65535");
    if (picture.depth != 8 && picture.depth != 24 && picture.depth != 32)
        return fail("depth must be 8, 24 or 32");
    if (options.variant < 0 || options.variant > 2)
        return fail("variant must be 0, 1 or 2");
    if (picture.x < -32768 || picture.x > 32767 || picture.y < -32768 || picture.y > 32767)
        return fail("x and y must fit 16 bits");
    const size_t count = static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height);
    if (picture.depth == 8 && (picture.indexes.size() != count || picture.palette.size() != 1024))
        return fail("an 8-bit picture needs width x height indexes and a 1024-byte palette");
    if (picture.depth != 8 && picture.pixels.size() != count)
        return fail("the picture needs width x height pixels");

    out.clear();
    out.insert(out.end(), {'E', 'L', 'G'});
    const auto depth = static_cast<uint8_t>(picture.depth);
    switch (options.variant) {
    case 0:
        out.push_back(depth);
        Put16(out, picture.width);
        Put16(out, picture.height);
        break;
    case 1:
        out.push_back(1);
        out.push_back(depth);
        Put16(out, picture.x);
        Put16(out, picture.y);
        Put16(out, picture.width);
        Put16(out, picture.height);
        break;
    default:
        out.push_back(2);
        out.push_back(depth);
        Put16(out, picture.width);
        Put16(out, picture.height);
        Put16(out, picture.x);
        Put16(out, picture.y);
        out.insert(out.end(), picture.extension.begin(), picture.extension.end());
        out.push_back(0);
        break;
    }
    if (picture.depth == 8) {
        EncodeByteStream(picture.palette.data(), 1024, options.everyOpcode, out, use);
        EncodeByteStream(picture.indexes.data(), count, options.everyOpcode, out, use);
        return true;
    }
    EncodePixelStream(picture.pixels.data(), count, static_cast<size_t>(picture.width), options.everyOpcode, out,
                      use);
    if (picture.depth == 32) {
        std::vector<uint8_t> alpha(count);
        for (size_t i = 0; i < count; ++i)
            alpha[i] = static_cast<uint8_t>(picture.pixels[i] >> 24);
        EncodeByteStream(alpha.data(), count, options.everyOpcode, out, use);
    }
    return true;
}

bool PictureFromPixels(int width, int height, const uint32_t* pixels, int depth, Picture& picture,
                       std::string* error)
{
    picture = Picture{};
    picture.width = width;
    picture.height = height;
    picture.depth = depth;
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    if (depth != 8) {
        picture.pixels.assign(pixels, pixels + count);
        return true;
    }
    std::unordered_map<uint32_t, uint8_t> index;
    picture.palette.assign(1024, 0);
    picture.indexes.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const uint32_t rgb = pixels[i] & 0xFFFFFF;
        auto it = index.find(rgb);
        if (it == index.end()) {
            if (index.size() == 256) {
                if (error)
                    *error = "an 8-bit ELG holds at most 256 colours";
                return false;
            }
            const auto slot = static_cast<uint8_t>(index.size());
            it = index.emplace(rgb, slot).first;
            picture.palette[slot * 4 + 0] = static_cast<uint8_t>(rgb);
            picture.palette[slot * 4 + 1] = static_cast<uint8_t>(rgb >> 8);
            picture.palette[slot * 4 + 2] = static_cast<uint8_t>(rgb >> 16);
        }
        picture.indexes[i] = it->second;
    }
    return true;
}

}  // namespace elg
