#pragma once
/* The device protocol shared by the program and the substitute driver: the
   device names, the eight control codes and their buffer layouts. Plain C so
   the driver can include it. */

#include <stdint.h>

#define VK_DEVICE_PATH   "\\\\.\\veskora"
#define VK_DEVICE_TYPE   0x8000
#define VK_DRIVER_VERSION 0x0105

/* CTL_CODE(0x8000, function, METHOD_BUFFERED, FILE_ANY_ACCESS) */
#define VK_CTL(function) ((uint32_t)((VK_DEVICE_TYPE << 16) | ((function) << 2)))

#define CTL_STATUS    VK_CTL(0x800) /* 0x80002000: out 4 bytes, status flags */
#define CTL_VERSION   VK_CTL(0x810) /* 0x80002040: out 2 bytes, interface version */
#define CTL_CHIPID    VK_CTL(0x811) /* 0x80002044: out 4 bytes, vendor and chip id */
#define CTL_READBLOCK VK_CTL(0x812) /* 0x80002048: out 40 bytes, sensor block */
#define CTL_CPUID     VK_CTL(0x900) /* 0x80002400: in/out 20 bytes */
#define CTL_READREG   VK_CTL(0x911) /* 0x80002444: in/out 12 bytes */
#define CTL_DTS       VK_CTL(0x930) /* 0x800024C0: out 4 bytes, readout below TjMax */
#define CTL_TJMAX     VK_CTL(0x931) /* 0x800024C4: out 4 bytes, TjMax */

#define VK_STATUS_CHIP 0x00000001u /* the Super-I/O monitor block can be read */
#define VK_STATUS_DTS  0x00000400u /* processor digital thermal sensors can be read */

#define VK_READREG_PERF_STATUS 0xCE

typedef struct VkCpuidBuffer {
    uint32_t leaf; /* in: EAX */
    uint32_t eax, ebx, ecx, edx; /* out */
} VkCpuidBuffer;

typedef struct VkRegBuffer {
    uint32_t reg;   /* in: register number */
    uint32_t low;   /* out: not used by the program */
    uint32_t value; /* out: the value word */
} VkRegBuffer;

#ifdef __cplusplus
static_assert(CTL_STATUS == 0x80002000u && CTL_VERSION == 0x80002040u &&
              CTL_CHIPID == 0x80002044u && CTL_READBLOCK == 0x80002048u &&
              CTL_CPUID == 0x80002400u && CTL_READREG == 0x80002444u &&
              CTL_DTS == 0x800024C0u && CTL_TJMAX == 0x800024C4u, "control codes");
static_assert(sizeof(VkCpuidBuffer) == 20 && sizeof(VkRegBuffer) == 12, "request buffers");
#else
_Static_assert(sizeof(VkCpuidBuffer) == 20 && sizeof(VkRegBuffer) == 12, "request buffers");
#endif
