#include "platform/Host.h"

namespace plastora {

const char* const kOutOfMemoryMessage =
    "PCのメモリが不足して処理ができません。\n"
    "不要なアプリケーションを終了して本プログラムを再起動し直してください。\n"
    "それでも起きるようであればシステムの再起動をしてください。";

MsgResult SilentHost::message(const MessageRequest& request) {
    lastMessage = request.text;
    const int def = request.defaultButton;
    switch (request.buttons) {
    case MsgButtons::Ok: return MsgResult::Ok;
    case MsgButtons::OkCancel: return def == 1 ? MsgResult::Cancel : MsgResult::Ok;
    case MsgButtons::YesNo: return def == 1 ? MsgResult::No : MsgResult::Yes;
    case MsgButtons::YesNoCancel: return def == 2 ? MsgResult::Cancel : def == 1 ? MsgResult::No : MsgResult::Yes;
    }
    return MsgResult::Ok;
}

}  // namespace plastora
