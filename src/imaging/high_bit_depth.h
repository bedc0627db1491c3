#pragma once
// Reducing pictures of more than 8 bits per channel to 8 bits, and mapping HDR pictures (PQ,
// HLG) to SDR, for the decoders of today's formats. No codec library is called here. Private to
// the imaging library.
//
// The HDR method, per channel, in the picture's own primaries:
//   1. the transfer's inverse to linear light in cd/m²: PQ by the SMPTE ST 2084 EOTF; HLG by the
//      BT.2100 inverse OETF, then its display gamma of 1.2 for a 1000 cd/m² display;
//   2. scaled so that HDR reference white (203 cd/m², ITU-R BT.2408) becomes SDR white 1.0;
//   3. highlights compressed by the extended Reinhard curve L(1 + L/W²)/(1 + L) with W the
//      1000 cd/m² peak (4.93), so that the peak lands on white and the midtones stay put;
//   4. encoded with the sRGB curve; the colour space keeps the primaries with the sRGB transfer.
// Per channel, so that it is a table per code value: saturated highlights shift hue a little.

#include <QColorSpace>
#include <QImage>
#include <QString>

#include <cstdint>

namespace corvane {

enum class HdrTransfer { None, Pq, Hlg };

// The transfer of an ITU-T H.273 transfer characteristics code (16 PQ, 18 HLG).
HdrTransfer HdrTransferOf(int code);

// Rows of interleaved 16-bit samples (RGB or RGBA, `channels` 3 or 4) holding `bits` significant
// bits, as an 8-bit picture: RGB888 when opaque, ARGB32 with alpha. `rowSamples` is the distance
// between rows in samples. HDR is mapped as above. Null when memory cannot hold it.
QImage EightBitPicture(const std::uint16_t* samples, qsizetype rowSamples, int width, int height,
                       int channels, int bits, HdrTransfer transfer);

// The text of the file's note when it was mapped; empty for None.
QString HdrNote(HdrTransfer transfer);

// The colour space of an HDR picture after the mapping: its primaries, the sRGB transfer.
QColorSpace AfterHdrMapping(const QColorSpace& space);

}  // namespace corvane
