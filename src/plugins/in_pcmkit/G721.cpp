// The blocks of the G.721 decoder, named after the standard's functional
// blocks: ADDA/ANTILOG (reconstruct), FMULT/ACCUM (predictors), MIX (step
// size), TRANS, FUNCTW, UPA1/UPA2/UPB/LIMC/LIMD, FLOATA/FLOATB, TONE, SUBTC.

#include "G721.h"

#include <array>

namespace pcmkit {
namespace {

// Log of the quantised difference magnitude per code (DQLN), sign in bit 3.
constexpr std::array<int16_t, 16> kDqln = {-2048, 4,   135, 213, 273, 323, 373, 425,
                                           425,   373, 323, 273, 213, 135, 4,   -2048};
// Scale factor multiplier W(I), times 16.
constexpr std::array<int16_t, 16> kW = {-12, 18, 41, 64, 112, 198, 355, 1122, 1122, 355, 198, 112, 64, 41, 18, -12};
// Transition factor F(I), times 512.
constexpr std::array<int16_t, 16> kF = {0,     0,     0,     0x200, 0x200, 0x200, 0x600, 0xE00,
                                        0xE00, 0x600, 0x200, 0x200, 0x200, 0,     0,     0};

// Exponent of a magnitude: the number of significant bits (0 for 0), at most 15.
inline int exponent_of(int value)
{
    if (value <= 0)
        return 0;
    int bits = 32 - __builtin_clz(static_cast<unsigned>(value));
    return bits < 15 ? bits : 15;
}

// FMULT: a predictor coefficient (16-bit two's complement) times a signal in
// the floating format (sign in bit 10, 4-bit exponent, 6-bit mantissa).
inline int fmult(int an, int srn)
{
    int anmag = an > 0 ? an : ((-an) & 0x1FFF);
    int exponent = exponent_of(anmag);
    // The magnitude normalised to 6 bits: shifted right by exponent - 6 or left by 6 - exponent.
    int anmant = anmag == 0 ? 32 : (anmag << 6) >> exponent;
    int wanexp = exponent - 6 + ((srn >> 6) & 0xF) - 13;
    int wanmant = (anmant * (srn & 077) + 0x30) >> 4;
    int product = wanexp >= 0 ? (wanmant << wanexp) & 0x7FFF : wanmant >> -wanexp;
    return (an ^ srn) < 0 ? -product : product;
}

int predictor_zero(const g721_state& s)
{
    int sum = 0;
    for (int i = 0; i < 6; ++i)
        sum += fmult(s.b[i] >> 2, s.dq[i]);
    return sum;
}

int predictor_pole(const g721_state& s)
{
    return fmult(s.a[1] >> 2, s.sr[1]) + fmult(s.a[0] >> 2, s.sr[0]);
}

// MIX: the scale factor between the fast and the slow one by the speed control.
int step_size(const g721_state& s)
{
    if (s.ap >= 256)
        return s.yu;
    int y = s.yl >> 6;
    int dif = s.yu - y;
    int al = s.ap >> 2;
    if (dif > 0)
        y += (dif * al) >> 6;
    else if (dif < 0)
        y += (dif * al + 0x3F) >> 6;
    return y;
}

// ADDA + ANTILOG: the quantised difference in sign-magnitude form.
int reconstruct(bool negative, int dqln, int y)
{
    int dql = dqln + (y >> 2);
    if (dql < 0)
        return negative ? -0x8000 : 0;
    int dex = (dql >> 7) & 15;
    int dqt = 128 + (dql & 127);
    int dq = (dqt << 7) >> (14 - dex);
    return negative ? dq - 0x8000 : dq;
}

// The floating format of a magnitude with its sign.
int16_t to_float(int magnitude, bool negative)
{
    if (magnitude == 0)
        return negative ? static_cast<int16_t>(0xFC20) : 0x20;
    int e = exponent_of(magnitude);
    int value = (e << 6) + ((magnitude << 6) >> e);
    return static_cast<int16_t>(negative ? value - 0x400 : value);
}

void update(g721_state& s, int y, int wi, int fi, int dq, int sr, int dqsez)
{
    const int pk0 = dqsez < 0 ? 1 : 0;
    const int mag = dq & 0x7FFF;

    // TRANS: a transition from a tone in partial band to anything else.
    int ylint = s.yl >> 15;
    int ylfrac = (s.yl >> 10) & 0x1F;
    int thr1 = (32 + ylfrac) << ylint;
    int thr2 = ylint > 9 ? 31 << 10 : thr1;
    int dqthr = (thr2 + (thr2 >> 1)) >> 1;
    bool tr = s.td != 0 && mag > dqthr;

    // FUNCTW, FILTD, LIMB, FILTE: the scale factors.
    int yu = y + ((wi - y) >> 5);
    yu = yu < 544 ? 544 : yu > 5120 ? 5120 : yu;
    s.yu = static_cast<int16_t>(yu);
    s.yl += yu + ((-s.yl) >> 6);

    int a2p = 0;
    if (tr) {
        s.a[0] = s.a[1] = 0;
        for (int16_t& coefficient : s.b)
            coefficient = 0;
    } else {
        // UPA2 with LIMC.
        int pks1 = pk0 ^ s.pk[0];
        a2p = s.a[1] - (s.a[1] >> 7);
        if (dqsez != 0) {
            int fa1 = pks1 ? s.a[0] : -s.a[0];
            if (fa1 < -8191)
                a2p -= 0x100;
            else if (fa1 > 8191)
                a2p += 0xFF;
            else
                a2p += fa1 >> 5;
            if (pk0 ^ s.pk[1]) {
                if (a2p <= -12160)
                    a2p = -12288;
                else if (a2p >= 12416)
                    a2p = 12288;
                else
                    a2p -= 0x80;
            } else if (a2p <= -12416) {
                a2p = -12288;
            } else if (a2p >= 12160) {
                a2p = 12288;
            } else {
                a2p += 0x80;
            }
        }
        s.a[1] = static_cast<int16_t>(a2p);

        // UPA1 with LIMD.
        int a1 = s.a[0] - (s.a[0] >> 8);
        if (dqsez != 0)
            a1 += pks1 == 0 ? 192 : -192;
        int a1ul = 15360 - a2p;
        a1 = a1 < -a1ul ? -a1ul : a1 > a1ul ? a1ul : a1;
        s.a[0] = static_cast<int16_t>(a1);

        // UPB: the zero predictor follows the sign agreement of the differences.
        for (int i = 0; i < 6; ++i) {
            int bi = s.b[i] - (s.b[i] >> 8);
            if (mag != 0)
                bi += (dq ^ s.dq[i]) >= 0 ? 128 : -128;
            s.b[i] = static_cast<int16_t>(bi);
        }
    }

    // FLOATA, then FLOATB and the delay lines.
    for (int i = 5; i > 0; --i)
        s.dq[i] = s.dq[i - 1];
    s.dq[0] = to_float(mag, dq < 0);
    s.sr[1] = s.sr[0];
    s.sr[0] = sr <= -32768 ? static_cast<int16_t>(0xFC20) : to_float(sr < 0 ? -sr : sr, sr < 0);
    s.pk[1] = s.pk[0];
    s.pk[0] = static_cast<int16_t>(pk0);

    // TONE: a2 below -0.71875 means a tone in partial band.
    s.td = !tr && a2p < -11776 ? 1 : 0;

    // FILTA, FILTB, SUBTC, FILTC: the speed control.
    s.dms = static_cast<int16_t>(s.dms + ((fi - s.dms) >> 5));
    s.dml = static_cast<int16_t>(s.dml + (((fi << 2) - s.dml) >> 7));
    int ap = s.ap;
    if (tr)
        ap = 256;
    else if (y < 1536 || s.td == 1)
        ap += (0x200 - ap) >> 4;
    else if (((s.dms << 2) - s.dml < 0 ? s.dml - (s.dms << 2) : (s.dms << 2) - s.dml) >= (s.dml >> 3))
        ap += (0x200 - ap) >> 4;
    else
        ap += (-ap) >> 4;
    s.ap = static_cast<int16_t>(ap);
}

} // namespace

void g721_reset(g721_state& s)
{
    s = g721_state{};
    s.yl = 34816;
    s.yu = 544;
    for (int16_t& v : s.dq)
        v = 32;
    s.sr[0] = s.sr[1] = 32;
}

int g721_decode(g721_state& s, int code)
{
    code &= 0x0F;
    int sezi = predictor_zero(s);
    int sez = sezi >> 1;
    int se = (sezi + predictor_pole(s)) >> 1; // the signal estimate
    int y = step_size(s);
    int dq = reconstruct((code & 8) != 0, kDqln[code], y);
    int sr = dq < 0 ? se - (dq & 0x3FFF) : se + dq;
    int dqsez = sr - se + sez;
    update(s, y, kW[code] << 5, kF[code], dq, sr, dqsez);
    return sr;
}

} // namespace pcmkit
