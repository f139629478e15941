/* The fixture's exports as a Linux shared library, so that the generated Python binding
 * is driven through real calls. */
#include <stdlib.h>
#include <string.h>

#include "constructs.h"

struct ZkFixEngine { int running; };

ZkFixResult ZkFix_Echo(const char* text, char* out, int32_t outSize) {
    if (!text || !out || outSize < 1) return -1;
    int32_t n = (int32_t)strlen(text);
    if (n > outSize - 1) n = outSize - 1;
    memcpy(out, text, (size_t)n);
    out[n] = 0;
    return n;
}

uint32_t ZkFix_EchoW(const zk_wchar* text, zk_wchar* out, int32_t outLen) {
    if (!text || !out || outLen < 1) return 0;
    int32_t n = 0;
    while (text[n] && n < outLen - 1) { out[n] = text[n]; ++n; }
    out[n] = 0;
    return (uint32_t)n;
}

ZkFixOuter ZkFix_Outer(uint16_t a) {
    ZkFixOuter o;
    memset(&o, 0, sizeof o);
    o.first.a = a;
    o.more[1].b = 9;
    o.guid.Data4[7] = 0x42;
    o.grid[1][2] = -5;
    o.total = 77;
    o.bytes = 1u << 20;
    return o;
}

void ZkFix_Tight(uint32_t b, ZkFixTight* out) {
    ZkFixTight t = {1, b, {'o', 'k', 0}};
    if (out) *out = t;
}

ZkFixInner ZkFix_Inner(uint16_t a) {
    ZkFixInner i = {a, 3};
    return i;
}

int64_t ZkFix_Sum(const int32_t* values, int32_t count) {
    int64_t s = 0;
    for (int32_t i = 0; values && i < count; ++i) s += values[i];
    return s;
}

int32_t ZkFix_Fill(ZkFixMixed* out, int32_t max) {
    if (!out) return 0;
    for (int32_t i = 0; i < max; ++i) {
        memset(&out[i], 0, sizeof out[i]);
        out[i].flag = (uint8_t)i;
        out[i].value = i + 0.5;
        memcpy(out[i].narrow, "n\xe2\x86\x92", 5);
        out[i].wide[0] = 0x2192;
        out[i].wide[1] = (zk_wchar)('0' + i);
        memcpy(out[i].names[2], "last", 5);
        out[i].big = -1;
        out[i].unit = 'u';
        out[i].kind = ZK_FIX_TEN;
    }
    return max;
}

void ZkFix_Optional(const ZkFixGuid* guid, uint32_t* lastError) {
    if (lastError) *lastError = guid ? guid->Data1 : 87;
}

ZkFixHandle ZkFix_Start(const char* tier) {
    if (!tier || strcmp(tier, "bad") == 0) return NULL;
    ZkFixHandle h = (ZkFixHandle)malloc(sizeof *h);
    if (h) h->running = 1;
    return h;
}

void ZkFix_Stop(ZkFixHandle handle) { free(handle); }

const char* ZkFix_Name(void) { return "fixture"; }

int32_t ZkFix_Log(ZkFixLevelLog level, ZkFixNarrowLog narrow) {
    static const zk_wchar wide[] = {'w', 'i', 'd', 'e', ' ', 0x2192, ' ', 't', 'e', 'x', 't', 0};
    if (level) level(2, wide);
    return narrow ? narrow("narrow \xe2\x86\x92 text", NULL) : -1;
}
