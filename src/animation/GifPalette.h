#pragma once

#include <QImage>
#include <QtGlobal>

#include <array>
#include <cstddef>
#include <vector>

// A GIF's one palette for the whole run, and the table from colour to palette index.
namespace velra::animation {

// Every colour of every frame of the run, counted in one pass: exactly while they fit a palette,
// and as weighted sums on a cube of 64 levels a channel for the quantiser past that. Colours that
// must come out exact are noted apart: pure white and pure black (speech bubbles, outlines) and any
// colour that covers an eighth of some frame (a flat sky, a wall).
class ColourCensus
{
public:
    ColourCensus();
    void add(const QImage &frame);

    // All the colours, sorted, when there are at most `entries`; else empty.
    std::vector<quint32> exact(int entries) const;
    // A palette of at most `entries` colours for a run with more: the exact colours first, then a
    // variance-minimising cut of the cube (Wu's method) refined by a few k-means passes. Leaves the
    // census spent.
    std::vector<quint32> quantised(int entries);

private:
    static constexpr int kSide = 65; // 64 levels and a zero plane for the sums
    static std::size_t cell(quint32 rgb)
    {
        return std::size_t((((rgb >> 18) & 63) + 1) * kSide * kSide + (((rgb >> 10) & 63) + 1) * kSide + ((rgb >> 2) & 63) + 1);
    }
    void addRun(quint32 rgb, qint64 count);
    void noteDominant(quint32 rgb, qint64 count, qint64 pixels);

    // The cube's sums: pixels, their red, green and blue, and their squared length.
    std::vector<qint64> m_weight, m_red, m_green, m_blue, m_square;
    // The distinct colours while there are at most 257 of them (open addressing).
    std::vector<quint32> m_slots;
    int m_distinct = 0;
    bool m_white = false;
    bool m_black = false;
    // Colours that covered an eighth of a frame, with the largest share each did (in 1/65536).
    std::vector<std::pair<quint32, int>> m_dominant;
};

// Colour to palette index, the nearest entry (in plain RGB distance, what the eye's error is
// measured in), worked out once per colour for the whole run: the same colour gets the same index in
// every frame, so a still background never shimmers.
class ColourIndex
{
public:
    explicit ColourIndex(std::vector<quint32> palette);
    const std::vector<quint32> &palette() const { return m_palette; }

    void map(const QImage &frame, quint8 *out)
    {
        for (int y = 0; y < frame.height(); ++y) {
            const auto *line = reinterpret_cast<const quint32 *>(frame.constScanLine(y));
            for (int x = 0; x < frame.width(); ++x) {
                const quint32 rgb = line[x] & 0xffffff;
                if (rgb != m_last) {
                    m_last = rgb;
                    m_lastIndex = (m_known[rgb >> 6] & (quint64(1) << (rgb & 63))) ? m_index[rgb] : indexOf(rgb);
                }
                *out++ = m_lastIndex;
            }
        }
    }

private:
    quint8 indexOf(quint32 rgb);
    const std::vector<quint8> &candidates(quint32 rgb);

    std::vector<quint32> m_palette;
    std::vector<quint8> m_index;
    std::vector<quint64> m_known;
    // For each block of 16 levels a channel, the entries that can be nearest to a colour in it,
    // found when the block is first met.
    std::vector<std::vector<quint8>> m_blocks;
    std::vector<bool> m_blockKnown;
    quint32 m_last = 0xffffffffu;
    quint8 m_lastIndex = 0;
};

} // namespace velra::animation
