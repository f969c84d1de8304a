#include "chat.h"

#include <cstring>

#include "bounded_text.h"
#include "host_api.h"

std::string ChatTextToSend(std::string_view text) {
  if (text.size() <= kChatTextMaxBytes) return std::string(text);
  if (text.back() == '\n') {
    std::string cut(CutToBytes(text, kChatTextMaxBytes - 1));
    cut += '\n';
    return cut;
  }
  return std::string(CutToBytes(text, kChatTextMaxBytes));
}

void NoticeAll(const std::string& text, int destination) {
  if (HostApi::CvarFloat(Cvar::DisableNotice) > 0.0f) return;
  const std::string toSend = ChatTextToSend(text);
  int messageType = 0;  // looked up at the first recipient
  HostApi::ForEachClientSlot([&](int /*slot*/, edict_t* entity) {
    entvars_t* vars = HostApi::EdictVars(entity);
    if (HostApi::IsMarkedForRemoval(vars)) return true;
    if (HostApi::NetName(vars)[0] == '\0') return true;
    if (std::strcmp(HostApi::ClassName(vars), "player") != 0) return true;
    if (messageType == 0) {
      // Registering an existing name gives the number it already has.
      messageType = HostApi::RegisterUserMessage("TextMsg", -1);
      // No such message: type 0 would reach the client as a bad message.
      if (messageType <= 0) return false;
    }
    HostApi::BeginMessageToOne(messageType, entity);
    HostApi::WriteByte(destination);
    HostApi::WriteString(toSend.c_str());
    HostApi::EndMessage();
    return true;
  });
}
