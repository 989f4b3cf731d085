#pragma once
// Records what the program shows the user (message boxes) and the debugger
// (diagnostic lines) while an object of this class lives.

#include <windows.h>

#include <string>
#include <vector>

struct ShownMessage {
    HWND owner;
    std::string text;
    std::string caption;
    UINT style;
};

class UserIoCapture {
public:
    UserIoCapture();
    ~UserIoCapture();
    UserIoCapture(const UserIoCapture&) = delete;
    UserIoCapture& operator=(const UserIoCapture&) = delete;

    const std::vector<ShownMessage>& Messages() const;
    const std::vector<std::string>& DebugLines() const;
    void Clear();
    // What a Yes/No question is answered with (IDNO unless told).
    void AnswerYesNo(int answer);
};
