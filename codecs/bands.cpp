// Re-coding a picture between files a band of rows at a time.
#include "codecs/bands.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "core/image.h"
#include "core/palette.h"
#include "kro/kro.h"
#include "kro/pixo.h"

namespace kro::bands {
namespace {

// Rows per band: about 256 KiB, which stays in the cache between the
// reader and the writer.
int32_t bandRows(const Shape& shape) {
    return int32_t(
        std::clamp<uint64_t>((256u << 10) / shape.rowBytes(), 1, uint64_t(shape.height)));
}

// An 8-bit picture is gray only with the plain ramp for a palette; with any
// other, gray or not, its indices go out as a palette picture's.
void settlePhotometric(Shape* shape) {
    if (shape->depth != 8 || shape->photometric == KRO_PHOTO_PALETTE) return;
    unsigned char ramp[768];
    fillGrayRamp(Palette(ramp), shape->photometric == KRO_PHOTO_WHITE_IS_ZERO);
    if (std::memcmp(ramp, shape->palette, sizeof ramp) != 0) shape->photometric = KRO_PHOTO_PALETTE;
}

// One thread reads, codes and writes each band in turn.
int32_t oneThread(Reader& reader, Writer& writer, const Shape& shape, int32_t band) {
    Buffer rows(allocBytes(uint64_t(shape.rowBytes()) * uint64_t(band)));
    Buffer coded(allocBytes(writer.most(band)));
    if (!rows || !coded) return KRO_ERR_NOMEM;
    for (int32_t done = 0; done < shape.height; done += band) {
        const int32_t count = std::min(band, shape.height - done);
        if (int32_t code = reader.rows(rows.get(), count)) return code;
        const size_t n = writer.code(rows.get(), done, count, coded.get());
        if (n == kNoMemory) return KRO_ERR_NOMEM;
        if (int32_t code = writer.put(coded.get(), n, done, count)) return code;
    }
    return writer.finish();
}

// Two threads: this one reads band k and codes its first rows while a
// worker codes the rest and then writes both, as this one goes on to band
// k + 1. Two sets of buffers take turns. Used for pictures of many bands,
// where the thread's start is small beside the work it shares.
class TwoThreads {
  public:
    TwoThreads(Reader& reader, Writer& writer, const Shape& shape, int32_t band)
        : reader_(reader), writer_(writer), shape_(shape), band_(band) {
        for (Slot& s : slots_) {
            s.rows.reset(allocBytes(uint64_t(shape.rowBytes()) * uint64_t(band)));
            s.frontCoded.reset(allocBytes(writer.most(band)));
            s.backCoded.reset(allocBytes(writer.most(band)));
            ready_ = ready_ && s.rows && s.frontCoded && s.backCoded;
        }
    }

    // 0 or a status code. Without the buffers or the thread, one thread
    // does the work.
    int32_t run() {
        if (!ready_) return oneThread(reader_, writer_, shape_, band_);
        std::thread worker;
        try {
            worker = std::thread([this] { work(); });
        } catch (const std::system_error&) {
            return oneThread(reader_, writer_, shape_, band_);
        }
        // This thread's share of the coding, in sixteenths: more when it
        // waits for the worker, less when the worker waits for it.
        int32_t share = 8;
        for (int32_t k = 0; k < bands(); ++k) {
            Slot& s = slots_[k % 2];
            bool waited = false;
            if (!waitFor([&] { return written_ >= k - 1; }, &waited)) break;  // band k - 2 is out
            if (waited) share = std::min(share + 1, 16);
            if (workerWaited_.exchange(false)) share = std::max(share - 1, 0);
            s.first = k * band_;
            s.count = std::min(band_, shape_.height - s.first);
            s.front = s.count * share / 16;
            if (int32_t code = reader_.rows(s.rows.get(), s.count)) {
                stop(code);
                break;
            }
            announce(&read_, k + 1);
            s.frontBytes = writer_.code(s.rows.get(), s.first, s.front, s.frontCoded.get());
            if (s.frontBytes == kNoMemory) {
                stop(KRO_ERR_NOMEM);
                break;
            }
            announce(&coded_, k + 1);
        }
        worker.join();
        return status_ ? status_ : writer_.finish();
    }

  private:
    // A band: its rows, and the coded bytes of its first `front` rows and
    // of the rest.
    struct Slot {
        Buffer rows, frontCoded, backCoded;
        int32_t first = 0, count = 0, front = 0;
        size_t frontBytes = 0;
    };

    int32_t bands() const { return (shape_.height + band_ - 1) / band_; }

    void work() {
        for (int32_t k = 0; k < bands(); ++k) {
            Slot& s = slots_[k % 2];
            bool waited = false;
            if (!waitFor([&] { return read_ > k; }, &waited)) return;
            if (waited) workerWaited_ = true;
            const int32_t front = s.front, back = s.count - front;
            const size_t backBytes =
                back ? writer_.code(s.rows.get() + size_t(front) * shape_.rowBytes(),
                                    s.first + front, back, s.backCoded.get())
                     : 0;
            if (backBytes == kNoMemory) return stop(KRO_ERR_NOMEM);
            if (!waitFor([&] { return coded_ > k; }, &waited)) return;
            if (waited) workerWaited_ = true;
            int32_t code =
                front ? writer_.put(s.frontCoded.get(), s.frontBytes, s.first, front) : 0;
            if (code == 0 && back)
                code = writer_.put(s.backCoded.get(), backBytes, s.first + front, back);
            if (code) return stop(code);
            announce(&written_, k + 1);
        }
    }

    // Waits until done says so, *waited telling whether it had to; false
    // when the other thread stopped.
    template <typename Done>
    bool waitFor(Done done, bool* waited) {
        std::unique_lock<std::mutex> lock(mutex_);
        *waited = !done();
        changed_.wait(lock, [&] { return status_ != 0 || done(); });
        return status_ == 0;
    }
    void announce(int32_t* counter, int32_t value) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            *counter = value;
        }
        changed_.notify_all();
    }
    void stop(int32_t code) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (status_ == 0) status_ = code;
        }
        changed_.notify_all();
    }

    Reader& reader_;
    Writer& writer_;
    const Shape shape_;
    int32_t band_;
    bool ready_ = true;
    Slot slots_[2];
    std::mutex mutex_;
    std::condition_variable changed_;
    // Bands read, bands whose first rows are coded, bands written; the
    // first failure's status.
    int32_t read_ = 0, coded_ = 0, written_ = 0, status_ = 0;
    std::atomic<bool> workerWaited_{false};
};

// Rows made gray on their way to a writer of 8-bit gray, as the
// whole-picture conversion makes them, band by band.
class GrayWriter final : public Writer {
  public:
    GrayWriter(std::unique_ptr<Writer> inner, int32_t width)
        : inner_(std::move(inner)), width_(width) {}

    size_t most(int32_t count) const override { return inner_->most(count); }
    size_t code(const unsigned char* src, int32_t first, int32_t count,
                unsigned char* out) const override {
        const size_t bytes = size_t(width_) * size_t(count);
        Buffer gray(allocBytes(bytes));
        if (!gray) return kNoMemory;
        RsImage from{}, to{};
        from.width = to.width = from.validWidth = to.validWidth = width_;
        from.height = to.height = from.validHeight = to.validHeight = count;
        from.format = to.format = KRO_FORMAT_RAW;
        from.depth = 24, to.depth = 8;
        from.size = int32_t(3 * bytes), to.size = int32_t(bytes);
        from.data = const_cast<unsigned char*>(src), to.data = gray.get();
        int32_t status = 0;  // the views are whole and apart: nothing to refuse
        GfxCtog(&from, 0, 0, width_, count, nullptr, &to, 0, 0, 0, &status);
        return inner_->code(gray.get(), first, count, out);
    }
    int32_t put(const unsigned char* coded, size_t n, int32_t first, int32_t count) override {
        return inner_->put(coded, n, first, count);
    }
    int32_t finish() override { return inner_->finish(); }

  private:
    std::unique_ptr<Writer> inner_;
    int32_t width_;
};

int32_t streamPicture(FILE* in, int32_t from, FILE* out, int32_t to, int32_t dpi, int32_t colortype,
                      int32_t picture[3]) {
    if (!in || !out) return KRO_ERR_NULL;
    const bool pair = (from == KRO_FILE_BMP || from == KRO_FILE_PCX) &&
                      (to == KRO_FILE_BMP || to == KRO_FILE_PCX || to == KRO_FILE_PS) &&
                      (colortype == -1 || colortype == KRO_COLORTYPE_GRAYSCALE);
    const long start = std::ftell(in);
    if (!pair || start < 0) return KRO_ERR_NOT_AS_IS;
    // Before a byte is written, a file that is not one to take across leaves
    // the input where it stood.
    const auto notAsIs = [&] {
        std::clearerr(in);
        return std::fseek(in, start, SEEK_SET) == 0 ? KRO_ERR_NOT_AS_IS : KRO_ERR_IO;
    };
    Shape shape;
    std::unique_ptr<Reader> reader;
    int32_t code = from == KRO_FILE_BMP ? openBmpReader(in, &shape, &reader)
                                        : openPcxReader(in, &shape, &reader);
    if (code == KRO_ERR_NOT_AS_IS) return notAsIs();
    if (code != 0) return code;
    settlePhotometric(&shape);
    // RGB pictures go gray on the way; the other kinds are converted whole.
    const bool toGray = colortype == KRO_COLORTYPE_GRAYSCALE;
    if (toGray && shape.depth != 24) return notAsIs();
    Shape written = shape;
    if (toGray) {
        written.depth = 8;
        written.photometric = KRO_PHOTO_BLACK_IS_ZERO;
        fillGrayRamp(Palette(written.palette), false);
    }

    const int32_t x = shape.resolution[0], y = shape.resolution[1];
    std::unique_ptr<Writer> writer;
    if (to == KRO_FILE_PS) {
        const int32_t xdpi = x > 0 ? x : dpi;
        code = openPsWriter(out, written, xdpi, y > 0 ? y : xdpi, &writer);
    } else if (x > 0 && y > 0 && x != y) {
        // A BMP or PCX file states one resolution: the picture would be
        // resampled to keep its shape.
        code = KRO_ERR_NOT_AS_IS;
    } else {
        const int32_t one = x > 0 ? x : dpi;
        code = to == KRO_FILE_BMP ? openBmpWriter(out, written, one, &writer)
                                  : openPcxWriter(out, written, one, &writer);
    }
    if (code == KRO_ERR_NOT_AS_IS) return notAsIs();
    if (code != 0) return code;
    if (toGray) writer = std::make_unique<GrayWriter>(std::move(writer), shape.width);

    if (writer->takesBgr()) reader->giveBgr();
    if (picture) {
        picture[0] = shape.width;
        picture[1] = shape.height;
        picture[2] = shape.depth;  // as read
    }
    const int32_t band = bandRows(shape);
    if (shape.height > 4 * band && std::thread::hardware_concurrency() > 1)
        return TwoThreads(*reader, *writer, shape, band).run();
    return oneThread(*reader, *writer, shape, band);
}

}  // namespace
}  // namespace kro::bands

extern "C" KRO_API int32_t KroStreamPicture(FILE* in, int32_t from, FILE* out, int32_t to,
                                            int32_t dpi, int32_t colortype, int32_t picture[3]) {
    return kro::report(kro::bands::streamPicture(in, from, out, to, dpi, colortype, picture));
}
