#pragma once

#include <QImage>
#include <QtGlobal>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <vector>

// A GIF's one palette for the whole run, and the table from colour to palette index.
namespace velra::animation {

class FrameStream;

// The colours of the frames, counted up to one past what a palette holds.
class ColourCount
{
public:
    // False once more than 256 colours were seen.
    bool add(const QImage &frame)
    {
        for (int y = 0; y < frame.height(); ++y) {
            const auto *line = reinterpret_cast<const quint32 *>(frame.constScanLine(y));
            for (int x = 0; x < frame.width(); ++x) {
                const quint32 rgb = line[x] & 0xffffff;
                if (rgb == m_last)
                    continue;
                m_last = rgb;
                if (!insert(rgb))
                    return false;
            }
        }
        return true;
    }
    std::vector<quint32> colours() const
    {
        std::vector<quint32> sorted;
        for (const quint32 slot : m_slots)
            if (slot != kEmpty)
                sorted.push_back(slot);
        std::sort(sorted.begin(), sorted.end());
        return sorted;
    }

private:
    static constexpr quint32 kEmpty = 0xffffffffu;
    bool insert(quint32 rgb)
    {
        std::size_t i = (rgb * 2654435761u) >> 22; // 1,024 slots
        while (m_slots[i] != kEmpty) {
            if (m_slots[i] == rgb)
                return true;
            i = (i + 1) & 1023;
        }
        if (++m_count > 256)
            return false;
        m_slots[i] = rgb;
        return true;
    }
    std::vector<quint32> m_slots = std::vector<quint32>(1024, kEmpty);
    int m_count = 0;
    quint32 m_last = kEmpty;
};

// Colour to palette index, the nearest entry, worked out once per colour for the whole run: the
// same colour gets the same index in every frame, so a still background never shimmers.
class ColourIndex
{
public:
    explicit ColourIndex(std::vector<quint32> palette) : m_palette(std::move(palette))
    {
        m_index.assign(std::size_t(1) << 24, 0);
        m_known.assign((std::size_t(1) << 24) / 64, 0);
        for (std::size_t i = 0; i < m_palette.size(); ++i)
            remember(m_palette[i], quint8(i));
    }
    const std::vector<quint32> &palette() const { return m_palette; }

    void map(const QImage &frame, quint8 *out)
    {
        for (int y = 0; y < frame.height(); ++y) {
            const auto *line = reinterpret_cast<const quint32 *>(frame.constScanLine(y));
            for (int x = 0; x < frame.width(); ++x) {
                const quint32 rgb = line[x] & 0xffffff;
                if (rgb != m_last) {
                    m_last = rgb;
                    m_lastIndex = indexOf(rgb);
                }
                *out++ = m_lastIndex;
            }
        }
    }

private:
    quint8 indexOf(quint32 rgb)
    {
        if (m_known[rgb >> 6] & (quint64(1) << (rgb & 63)))
            return m_index[rgb];
        int best = 0;
        qint64 bestDistance = LLONG_MAX;
        for (std::size_t i = 0; i < m_palette.size(); ++i) {
            const quint32 p = m_palette[i];
            const qint64 dr = qint64((p >> 16) & 255) - qint64((rgb >> 16) & 255);
            const qint64 dg = qint64((p >> 8) & 255) - qint64((rgb >> 8) & 255);
            const qint64 db = qint64(p & 255) - qint64(rgb & 255);
            const qint64 distance = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
            if (distance < bestDistance) {
                bestDistance = distance;
                best = int(i);
            }
        }
        remember(rgb, quint8(best));
        return quint8(best);
    }
    void remember(quint32 rgb, quint8 index)
    {
        m_index[rgb] = index;
        m_known[rgb >> 6] |= quint64(1) << (rgb & 63);
    }

    std::vector<quint32> m_palette;
    std::vector<quint8> m_index;
    std::vector<quint64> m_known;
    quint32 m_last = 0xffffffffu;
    quint8 m_lastIndex = 0;
};

// A palette for more than 256 colours: giflib's median cut over pixels sampled from frames spread
// over the run, each frame drawn, sampled and let go. False for want of memory.
bool quantisedPalette(const FrameStream &stream, std::vector<quint32> &palette);

} // namespace velra::animation
