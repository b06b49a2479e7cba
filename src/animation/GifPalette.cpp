#include "GifPalette.h"

#include <algorithm>
#include <climits>
#include <numeric>

// Built without contraction (see the build file), and with integer sums wherever they suffice, so
// that every system chooses the same palette and writes the same bytes.
namespace velra::animation {

namespace {

constexpr quint32 kEmpty = 0xffffffffu;
constexpr quint32 kWhite = 0xffffff;
constexpr quint32 kBlack = 0x000000;
// Colours kept exact, at most: the rest of the palette is the quantiser's.
constexpr std::size_t kMostExact = 32;
constexpr int kRefinements = 4;

int red(quint32 rgb) { return int((rgb >> 16) & 255); }
int green(quint32 rgb) { return int((rgb >> 8) & 255); }
int blue(quint32 rgb) { return int(rgb & 255); }

// Wu's variance-minimising cut of a colour cube: the sums made cumulative, so that any box's sum
// is eight lookups, then the box whose cut removes the most variance is cut, until there are enough.
class WuCut
{
public:
    enum Axis { Red, Green, Blue };
    struct Box
    {
        int r0 = 0, r1 = 0, g0 = 0, g1 = 0, b0 = 0, b1 = 0; // lower bounds exclusive, upper inclusive
    };

    WuCut(int side, std::vector<qint64> weight, std::vector<qint64> r, std::vector<qint64> g, std::vector<qint64> b,
          std::vector<qint64> square)
        : m_side(side)
        , m_w(std::move(weight))
        , m_r(std::move(r))
        , m_g(std::move(g))
        , m_b(std::move(b))
        , m_s(std::move(square))
    {
        for (std::vector<qint64> *sums : {&m_w, &m_r, &m_g, &m_b, &m_s})
            accumulate(*sums);
    }

    // At most `wanted` boxes holding every counted pixel, each as its weighted mean colour.
    std::vector<quint32> means(int wanted) const
    {
        const int top = m_side - 1;
        std::vector<Box> boxes(std::size_t(std::max(wanted, 1)));
        boxes[0] = Box{0, top, 0, top, 0, top};
        if (volume(boxes[0], m_w) == 0)
            return {};
        std::vector<double> variance(boxes.size(), 0.0);
        int count = 1;
        int next = 0;
        for (int i = 1; i < wanted; ++i) {
            if (cut(boxes[std::size_t(next)], boxes[std::size_t(i)])) {
                variance[std::size_t(next)] = spread(boxes[std::size_t(next)]);
                variance[std::size_t(i)] = spread(boxes[std::size_t(i)]);
                count = i + 1;
            } else {
                variance[std::size_t(next)] = 0.0;
                --i;
            }
            next = 0;
            for (int k = 1; k <= i; ++k)
                if (variance[std::size_t(k)] > variance[std::size_t(next)])
                    next = k;
            if (variance[std::size_t(next)] <= 0.0)
                break;
        }
        std::vector<quint32> colours;
        for (int i = 0; i < count; ++i) {
            const Box &box = boxes[std::size_t(i)];
            const qint64 w = volume(box, m_w);
            if (w > 0)
                colours.push_back(roundedMean(volume(box, m_r), w) << 16 | roundedMean(volume(box, m_g), w) << 8
                                  | roundedMean(volume(box, m_b), w));
        }
        return colours;
    }

    static quint32 roundedMean(qint64 sum, qint64 weight) { return quint32(std::clamp<qint64>((2 * sum + weight) / (2 * weight), 0, 255)); }

private:
    std::size_t at(int r, int g, int b) const { return (std::size_t(r) * std::size_t(m_side) + std::size_t(g)) * std::size_t(m_side) + std::size_t(b); }

    void accumulate(std::vector<qint64> &m) const
    {
        for (int r = 1; r < m_side; ++r)
            for (int g = 0; g < m_side; ++g)
                for (int b = 0; b < m_side; ++b)
                    m[at(r, g, b)] += m[at(r - 1, g, b)];
        for (int r = 0; r < m_side; ++r)
            for (int g = 1; g < m_side; ++g)
                for (int b = 0; b < m_side; ++b)
                    m[at(r, g, b)] += m[at(r, g - 1, b)];
        for (int r = 0; r < m_side; ++r)
            for (int g = 0; g < m_side; ++g)
                for (int b = 1; b < m_side; ++b)
                    m[at(r, g, b)] += m[at(r, g, b - 1)];
    }

    qint64 volume(const Box &x, const std::vector<qint64> &m) const
    {
        return m[at(x.r1, x.g1, x.b1)] - m[at(x.r1, x.g1, x.b0)] - m[at(x.r1, x.g0, x.b1)] + m[at(x.r1, x.g0, x.b0)]
               - m[at(x.r0, x.g1, x.b1)] + m[at(x.r0, x.g1, x.b0)] + m[at(x.r0, x.g0, x.b1)] - m[at(x.r0, x.g0, x.b0)];
    }
    // The box's sum over its lower face along `axis` (what a cut position adds to).
    qint64 bottom(const Box &x, Axis axis, const std::vector<qint64> &m) const
    {
        switch (axis) {
        case Red:
            return -m[at(x.r0, x.g1, x.b1)] + m[at(x.r0, x.g1, x.b0)] + m[at(x.r0, x.g0, x.b1)] - m[at(x.r0, x.g0, x.b0)];
        case Green:
            return -m[at(x.r1, x.g0, x.b1)] + m[at(x.r1, x.g0, x.b0)] + m[at(x.r0, x.g0, x.b1)] - m[at(x.r0, x.g0, x.b0)];
        case Blue:
            break;
        }
        return -m[at(x.r1, x.g1, x.b0)] + m[at(x.r1, x.g0, x.b0)] + m[at(x.r0, x.g1, x.b0)] - m[at(x.r0, x.g0, x.b0)];
    }
    qint64 top(const Box &x, Axis axis, int position, const std::vector<qint64> &m) const
    {
        switch (axis) {
        case Red:
            return m[at(position, x.g1, x.b1)] - m[at(position, x.g1, x.b0)] - m[at(position, x.g0, x.b1)] + m[at(position, x.g0, x.b0)];
        case Green:
            return m[at(x.r1, position, x.b1)] - m[at(x.r1, position, x.b0)] - m[at(x.r0, position, x.b1)] + m[at(x.r0, position, x.b0)];
        case Blue:
            break;
        }
        return m[at(x.r1, x.g1, position)] - m[at(x.r1, x.g0, position)] - m[at(x.r0, x.g1, position)] + m[at(x.r0, x.g0, position)];
    }

    static double weighted(qint64 r, qint64 g, qint64 b, qint64 w)
    {
        return (double(r) * double(r) + double(g) * double(g) + double(b) * double(b)) / double(w);
    }
    // The box's variance times its weight; none for a box of one cell, which no cut divides.
    double spread(const Box &x) const
    {
        if ((x.r1 - x.r0) * (x.g1 - x.g0) * (x.b1 - x.b0) <= 1)
            return 0.0;
        const qint64 w = volume(x, m_w);
        return w == 0 ? 0.0 : double(volume(x, m_s)) - weighted(volume(x, m_r), volume(x, m_g), volume(x, m_b), w);
    }

    double best(const Box &x, Axis axis, int first, int last, int *position, qint64 wholeR, qint64 wholeG, qint64 wholeB,
                qint64 wholeW) const
    {
        const qint64 baseR = bottom(x, axis, m_r), baseG = bottom(x, axis, m_g), baseB = bottom(x, axis, m_b);
        const qint64 baseW = bottom(x, axis, m_w);
        double most = 0.0;
        *position = -1;
        for (int i = first; i < last; ++i) {
            const qint64 r = baseR + top(x, axis, i, m_r), g = baseG + top(x, axis, i, m_g), b = baseB + top(x, axis, i, m_b);
            const qint64 w = baseW + top(x, axis, i, m_w);
            if (w == 0 || w == wholeW)
                continue;
            const double gain = weighted(r, g, b, w) + weighted(wholeR - r, wholeG - g, wholeB - b, wholeW - w);
            if (gain > most) {
                most = gain;
                *position = i;
            }
        }
        return most;
    }

    bool cut(Box &one, Box &two) const
    {
        const qint64 r = volume(one, m_r), g = volume(one, m_g), b = volume(one, m_b), w = volume(one, m_w);
        int cutR = -1, cutG = -1, cutB = -1;
        const double byR = best(one, Red, one.r0 + 1, one.r1, &cutR, r, g, b, w);
        const double byG = best(one, Green, one.g0 + 1, one.g1, &cutG, r, g, b, w);
        const double byB = best(one, Blue, one.b0 + 1, one.b1, &cutB, r, g, b, w);
        two = one;
        if (byR >= byG && byR >= byB) {
            if (cutR < 0)
                return false;
            one.r1 = two.r0 = cutR;
        } else if (byG >= byR && byG >= byB) {
            one.g1 = two.g0 = cutG;
        } else {
            one.b1 = two.b0 = cutB;
        }
        return true;
    }

    int m_side;
    std::vector<qint64> m_w, m_r, m_g, m_b, m_s;
};

// One occupied cell of the cube: its sums, and its mean colour.
struct Cell
{
    qint64 w, r, g, b;
    double mr, mg, mb;
};

double distance(double r, double g, double b, const double *entry)
{
    const double dr = r - entry[0], dg = g - entry[1], db = b - entry[2];
    return dr * dr + dg * dg + db * db;
}

// A few passes of k-means over the occupied cells: every cell to its nearest entry, every entry that
// may move to the weighted mean of its cells. The first `fixed` entries stay where they are.
std::vector<quint32> refined(const std::vector<Cell> &cells, std::vector<quint32> entries, std::size_t fixed)
{
    const std::size_t n = entries.size();
    for (int pass = 0; pass < kRefinements && n > fixed; ++pass) {
        std::vector<double> at(n * 3);
        for (std::size_t i = 0; i < n; ++i) {
            at[3 * i] = red(entries[i]);
            at[3 * i + 1] = green(entries[i]);
            at[3 * i + 2] = blue(entries[i]);
        }
        // The entries in order of red, so that the search stops once red alone is farther than
        // the best found.
        std::vector<std::size_t> byRed(n);
        std::iota(byRed.begin(), byRed.end(), 0);
        std::stable_sort(byRed.begin(), byRed.end(), [&](std::size_t a, std::size_t b) { return at[3 * a] < at[3 * b]; });
        std::vector<qint64> sums(n * 4, 0);
        std::size_t start = 0;
        for (const Cell &cell : cells) {
            while (start + 1 < n && at[3 * byRed[start + 1]] <= cell.mr)
                ++start;
            std::size_t nearest = byRed[start];
            double least = distance(cell.mr, cell.mg, cell.mb, &at[3 * nearest]);
            const auto look = [&](std::size_t k) {
                const std::size_t i = byRed[k];
                const double dr = cell.mr - at[3 * i];
                if (dr * dr > least)
                    return false;
                const double d = distance(cell.mr, cell.mg, cell.mb, &at[3 * i]);
                if (d < least || (d == least && i < nearest)) {
                    least = d;
                    nearest = i;
                }
                return true;
            };
            for (std::size_t k = start + 1; k < n && look(k); ++k) {
            }
            for (std::size_t k = start; k-- > 0 && look(k);) {
            }
            qint64 *sum = &sums[4 * nearest];
            sum[0] += cell.w;
            sum[1] += cell.r;
            sum[2] += cell.g;
            sum[3] += cell.b;
        }
        for (std::size_t i = fixed; i < n; ++i) {
            const qint64 *sum = &sums[4 * i];
            if (sum[0] > 0)
                entries[i] = WuCut::roundedMean(sum[1], sum[0]) << 16 | WuCut::roundedMean(sum[2], sum[0]) << 8
                             | WuCut::roundedMean(sum[3], sum[0]);
        }
    }
    return entries;
}

} // namespace

ColourCensus::ColourCensus()
    : m_weight(std::size_t(kSide) * kSide * kSide, 0)
    , m_red(m_weight.size(), 0)
    , m_green(m_weight.size(), 0)
    , m_blue(m_weight.size(), 0)
    , m_square(m_weight.size(), 0)
    , m_slots(1024, kEmpty)
{
}

void ColourCensus::addRun(quint32 rgb, qint64 count)
{
    if (m_distinct <= 256) {
        std::size_t i = (rgb * 2654435761u) >> 22; // 1,024 slots
        while (m_slots[i] != kEmpty && m_slots[i] != rgb)
            i = (i + 1) & 1023;
        if (m_slots[i] == kEmpty && ++m_distinct <= 256)
            m_slots[i] = rgb;
    }
    if (rgb == kWhite || rgb == kBlack) {
        (rgb == kWhite ? m_white : m_black) = true;
        return; // entries of their own: the cube is for the rest
    }
    const std::size_t c = cell(rgb);
    const qint64 r = red(rgb), g = green(rgb), b = blue(rgb);
    m_weight[c] += count;
    m_red[c] += r * count;
    m_green[c] += g * count;
    m_blue[c] += b * count;
    m_square[c] += (r * r + g * g + b * b) * count;
}

void ColourCensus::noteDominant(quint32 rgb, qint64 count, qint64 pixels)
{
    const int share = int(count * 65536 / pixels);
    for (auto &[colour, most] : m_dominant)
        if (colour == rgb) {
            most = std::max(most, share);
            return;
        }
    m_dominant.emplace_back(rgb, share);
}

void ColourCensus::add(const QImage &frame)
{
    // The colours that cover an eighth of the frame, found in one pass (Misra and Gries' counters,
    // weighted by runs): a colour counted here covers at least what its counter says.
    constexpr int kCounters = 8;
    std::array<quint32, kCounters> heavy;
    std::array<qint64, kCounters> counted{};
    heavy.fill(kEmpty);
    const auto tally = [&](quint32 rgb, qint64 run) {
        addRun(rgb, run);
        for (int i = 0; i < kCounters; ++i)
            if (heavy[std::size_t(i)] == rgb) {
                counted[std::size_t(i)] += run;
                return;
            }
        while (run > 0) {
            for (int i = 0; i < kCounters; ++i)
                if (counted[std::size_t(i)] == 0) {
                    heavy[std::size_t(i)] = rgb;
                    counted[std::size_t(i)] = run;
                    return;
                }
            const qint64 least = std::min(run, *std::min_element(counted.begin(), counted.end()));
            for (qint64 &c : counted)
                c -= least;
            run -= least;
        }
    };
    quint32 last = kEmpty;
    qint64 run = 0;
    for (int y = 0; y < frame.height(); ++y) {
        const auto *line = reinterpret_cast<const quint32 *>(frame.constScanLine(y));
        for (int x = 0; x < frame.width(); ++x) {
            const quint32 rgb = line[x] & 0xffffff;
            if (rgb == last) {
                ++run;
                continue;
            }
            if (run > 0)
                tally(last, run);
            last = rgb;
            run = 1;
        }
    }
    if (run > 0)
        tally(last, run);
    const qint64 pixels = qint64(frame.width()) * frame.height();
    for (int i = 0; i < kCounters; ++i)
        if (counted[std::size_t(i)] > 0 && counted[std::size_t(i)] * 8 >= pixels)
            noteDominant(heavy[std::size_t(i)], counted[std::size_t(i)], pixels);
}

std::vector<quint32> ColourCensus::exact(int entries) const
{
    if (m_distinct > entries)
        return {};
    std::vector<quint32> sorted;
    for (const quint32 slot : m_slots)
        if (slot != kEmpty)
            sorted.push_back(slot);
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

std::vector<quint32> ColourCensus::quantised(int entries)
{
    std::vector<quint32> palette;
    if (m_white)
        palette.push_back(kWhite);
    if (m_black)
        palette.push_back(kBlack);
    std::stable_sort(m_dominant.begin(), m_dominant.end(), [](const auto &a, const auto &b) { return a.second > b.second; });
    for (const auto &[colour, share] : m_dominant)
        if (palette.size() < kMostExact && std::find(palette.begin(), palette.end(), colour) == palette.end())
            palette.push_back(colour);
    const std::size_t fixed = palette.size();

    std::vector<Cell> cells;
    for (std::size_t c = 0; c < m_weight.size(); ++c)
        if (m_weight[c] > 0) {
            const double w = double(m_weight[c]);
            cells.push_back(Cell{m_weight[c], m_red[c], m_green[c], m_blue[c], double(m_red[c]) / w, double(m_green[c]) / w,
                                 double(m_blue[c]) / w});
        }
    std::stable_sort(cells.begin(), cells.end(), [](const Cell &a, const Cell &b) { return a.mr < b.mr; });
    const WuCut wu(kSide, std::move(m_weight), std::move(m_red), std::move(m_green), std::move(m_blue), std::move(m_square));
    for (const quint32 colour : wu.means(entries - int(fixed)))
        palette.push_back(colour);
    palette = refined(cells, std::move(palette), fixed);
    // Two entries that came out the same are one.
    std::vector<quint32> unique;
    for (const quint32 colour : palette)
        if (std::find(unique.begin(), unique.end(), colour) == unique.end())
            unique.push_back(colour);
    return unique;
}

ColourIndex::ColourIndex(std::vector<quint32> palette)
    : m_palette(std::move(palette))
    , m_index(std::size_t(1) << 24, 0)
    , m_known((std::size_t(1) << 24) / 64, 0)
    , m_blocks(4096)
    , m_blockKnown(4096, false)
{
    for (std::size_t i = m_palette.size(); i-- > 0;) {
        m_index[m_palette[i]] = quint8(i);
        m_known[m_palette[i] >> 6] |= quint64(1) << (m_palette[i] & 63);
    }
}

const std::vector<quint8> &ColourIndex::candidates(quint32 rgb)
{
    const std::size_t block = std::size_t((red(rgb) >> 4) << 8 | (green(rgb) >> 4) << 4 | blue(rgb) >> 4);
    std::vector<quint8> &list = m_blocks[block];
    if (m_blockKnown[block])
        return list;
    m_blockKnown[block] = true;
    // An entry can be nearest to some colour of the block only when its least distance to the
    // block is within the smallest greatest distance of any entry.
    const int lo[3] = {red(rgb) & ~15, green(rgb) & ~15, blue(rgb) & ~15};
    std::vector<qint64> least(m_palette.size());
    qint64 bound = LLONG_MAX;
    for (std::size_t i = 0; i < m_palette.size(); ++i) {
        const int p[3] = {red(m_palette[i]), green(m_palette[i]), blue(m_palette[i])};
        qint64 near = 0, far = 0;
        for (int c = 0; c < 3; ++c) {
            const int below = lo[c] - p[c], above = p[c] - (lo[c] + 15);
            const int in = std::max({below, above, 0});
            const int out = std::max(std::abs(p[c] - lo[c]), std::abs(p[c] - lo[c] - 15));
            near += qint64(in) * in;
            far += qint64(out) * out;
        }
        least[i] = near;
        bound = std::min(bound, far);
    }
    for (std::size_t i = 0; i < m_palette.size(); ++i)
        if (least[i] <= bound)
            list.push_back(quint8(i));
    return list;
}

quint8 ColourIndex::indexOf(quint32 rgb)
{
    quint8 best = 0;
    qint64 bestDistance = LLONG_MAX;
    for (const quint8 i : candidates(rgb)) {
        const quint32 p = m_palette[i];
        const qint64 dr = red(p) - red(rgb), dg = green(p) - green(rgb), db = blue(p) - blue(rgb);
        const qint64 distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    m_index[rgb] = best;
    m_known[rgb >> 6] |= quint64(1) << (rgb & 63);
    return best;
}

} // namespace velra::animation
