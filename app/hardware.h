#pragma once
// What the main window's start-up settles with the hardware, in the
// application state: the chip's identity, the processor's identity and the
// core-temperature settings, and the dividers the chip converts with.

// Fills the processor state; without readable core temperatures (available
// 0) core temperatures are switched off, so no cycle asks for them. A TjMax
// of 0 in the settings becomes the detected one, or the fallback.
void InitializeProcessor(int available);

// Records the chip the driver reported, with its vendor and model names.
void RecordChip();

// Hands the settings' dividers to the chip when they are enabled, the
// built-in ones otherwise (under the READ lock).
void ApplyDividers();
