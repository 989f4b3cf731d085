#pragma once
// Classes marked VK_EXPORT appear in the executable's export table under
// their decorated names, so other modules can link against them.

#define VK_EXPORT __declspec(dllexport)
