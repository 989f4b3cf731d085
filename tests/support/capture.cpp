#include "support/capture.h"
#include "foundation/seams.h"

#include "foundation/userio.h"

namespace {

std::vector<ShownMessage> messages;
std::vector<std::string> lines;
int yesNoAnswer = IDNO;

int RecordMessage(HWND owner, const char* text, const char* caption, UINT style)
{
    messages.push_back({owner, text ? text : "", caption ? caption : "", style});
    return (style & MB_TYPEMASK) == MB_YESNO ? yesNoAnswer : IDOK;
}

void RecordLine(const char* line)
{
    lines.push_back(line ? line : "");
}

}  // namespace

UserIoCapture::UserIoCapture()
{
    Clear();
    yesNoAnswer = IDNO;
    SetUserCalls(UserCalls{RecordMessage, RecordLine});
}

UserIoCapture::~UserIoCapture()
{
    SetUserCalls({});
}

const std::vector<ShownMessage>& UserIoCapture::Messages() const { return messages; }
const std::vector<std::string>& UserIoCapture::DebugLines() const { return lines; }

void UserIoCapture::Clear()
{
    messages.clear();
    lines.clear();
}

void UserIoCapture::AnswerYesNo(int answer)
{
    yesNoAnswer = answer;
}
