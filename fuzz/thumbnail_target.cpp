// The thumbnail maker on any bytes: photos by their first bytes, and whatever
// else through the video path. A thumbnail it makes fits the size it promises
// and is a JPEG of that size; a file it refuses says why. The JPEG DC decoder,
// which the maker uses only for pictures of 2048 pixels and more, also gets
// every input directly.
#include "fuzz_support.h"
#include "media/thumb_jpeg_dc.h"
#include "media/thumb_maker.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TFuzzFile input("in.bin");
    TRgbImage eighth;
    if (DecodeJpegEighth(data, size, 64 << 20, TCpuBudget(1000), eighth) == EEighthResult::Done)
        FUZZ_CHECK(eighth.Width >= 1 && eighth.Height >= 1 &&
                       eighth.Pixels.size() == static_cast<size_t>(eighth.Width) *
                                                   static_cast<size_t>(eighth.Height) * 3,
                   std::to_string(eighth.Width) + "x" + std::to_string(eighth.Height));
    const TThumbMade made = MakeThumbnailOf(input.Write(data, size));
    if (made.Jpeg.empty()) {
        FUZZ_CHECK(!made.Why.empty(), "refused without a reason");
        return 0;
    }
    FUZZ_CHECK(made.Width >= 1 && made.Height >= 1 && made.Width <= 256 && made.Height <= 256,
               std::to_string(made.Width) + "x" + std::to_string(made.Height));
    int w = 0, h = 0;
    FUZZ_CHECK(JpegSize(reinterpret_cast<const uint8_t*>(made.Jpeg.data()), made.Jpeg.size(), w, h),
               "not a JPEG");
    FUZZ_CHECK(w == made.Width && h == made.Height, "the JPEG is of another size");
    return 0;
}
