/*
 * Declarations in every form a module's section of zelkor.h may take, for the bindings
 * generator's tests: packed and nested records, narrow and wide text arrays, enums,
 * constants, aliases, opaque handles, callbacks and each kind of pointer parameter.
 */
#ifndef ZK_CONSTRUCTS_H
#define ZK_CONSTRUCTS_H

#include "zelkor.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Names in a ZkFixMixed. */
#define ZK_FIX_NAMES 3
#define ZK_FIX_NAME_LEN (16)

/* What a fixture record holds. */
typedef enum ZkFixKind { ZK_FIX_NONE = 0, ZK_FIX_ONE, ZK_FIX_TEN = 0x0A } ZkFixKind;

typedef int32_t ZkFixResult;

/* Narrow and wide text side by side, packed on 2. */
#pragma pack(push, 2)
typedef struct ZkFixMixed {
    uint8_t flag;                   /* first */
    double value;                   /* at 2 */
    char narrow[ZK_FIX_NAME_LEN];   /* narrow text */
    zk_wchar wide[5];               /* UTF-16 */
    char names[ZK_FIX_NAMES][8];    /* three short names */
    int64_t big;
    zk_wchar unit;
    ZkFixKind kind;
} ZkFixMixed;
#pragma pack(pop)

/* A GUID, byte for byte. */
typedef struct ZkFixGuid {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
} ZkFixGuid;

typedef struct ZkFixInner {
    uint16_t a;
    uint8_t b;
} ZkFixInner;

/* Records within a record, natural alignment. */
typedef struct ZkFixOuter {
    /* a comment on its own line */
    ZkFixInner first;
    ZkFixInner more[2];
    ZkFixGuid guid;
    int32_t grid[2][3];
    unsigned int count, total;
    size_t bytes;
    void* opaque;
} ZkFixOuter;

#pragma pack(push, 1)
typedef struct ZkFixTight { uint8_t a; uint32_t b; zk_wchar text[3]; } ZkFixTight;
#pragma pack(pop)

/* A running fixture engine; null on failure. */
typedef struct ZkFixEngine* ZkFixHandle;

typedef void (ZK_CALL *ZkFixLevelLog)(int32_t level, const zk_wchar* text);
/* Returns what the library adds up. */
typedef int32_t(ZK_CALL* ZkFixNarrowLog)(const char* line, void* context);

/* Copies text into out (outSize bytes with the NUL); the bytes copied. */
ZK_API ZkFixResult ZK_CALL ZkFix_Echo(const char* text, char* out, int32_t outSize);
/* Copies wide text into out (outLen units with the NUL); the units copied. */
ZK_API uint32_t ZK_CALL ZkFix_EchoW(const zk_wchar* text, zk_wchar* out, int32_t outLen);
ZK_API ZkFixOuter ZK_CALL ZkFix_Outer(uint16_t a); /* returned by value */
ZK_API void ZK_CALL ZkFix_Tight(uint32_t b, ZkFixTight* out);
ZK_API ZkFixInner ZK_CALL ZkFix_Inner(uint16_t a);
ZK_API int64_t ZK_CALL ZkFix_Sum(const int32_t* values, int32_t count);
/* Fills max records. */
ZK_API int32_t ZK_CALL ZkFix_Fill(ZkFixMixed* out, int32_t max);
/* *lastError: guid's Data1, or 87 without a guid. */
ZK_API void ZK_CALL ZkFix_Optional(const ZkFixGuid* guid, uint32_t* lastError);
ZK_API ZkFixHandle ZK_CALL ZkFix_Start(const char* tier);
ZK_API void ZK_CALL ZkFix_Stop(ZkFixHandle handle);
/* The library's own text. */
ZK_API const char* ZK_CALL ZkFix_Name(void);
/* Calls level with (2, "wide → text") and narrow with "narrow → text"; narrow's result. */
ZK_API int32_t ZK_CALL ZkFix_Log(ZkFixLevelLog level, ZkFixNarrowLog narrow);

#ifdef __cplusplus
}
#endif

#endif /* ZK_CONSTRUCTS_H */
