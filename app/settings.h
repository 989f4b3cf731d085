#pragma once
// The settings file and the theme file: moving values between them and the
// application state. With withConfig set the settings file is handled first,
// then the theme file it names; otherwise the theme file only.

void LoadSettings(int withConfig);
void SaveSettings(int withConfig);
