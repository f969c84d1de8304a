// Network messages to clients: building, checking and decoding them.
#include <cstdio>

#include "sim_state.h"

namespace kelsim::detail {

namespace {

SimState& S() { return *g_state; }

// Reads the fields of a finished message in order; any overrun or a missing
// string terminator marks it malformed.
class Reader {
 public:
  explicit Reader(const std::vector<uint8_t>& data) : data_(data) {}
  int Byte() {
    if (pos_ + 1 > data_.size()) return Fail();
    return data_[pos_++];
  }
  int UShort() {
    if (pos_ + 2 > data_.size()) return Fail();
    const int value = data_[pos_] | (data_[pos_ + 1] << 8);
    pos_ += 2;
    return value;
  }
  int Short() {
    const int value = UShort();
    return value >= 0x8000 ? value - 0x10000 : value;
  }
  std::string String() {
    std::string text;
    while (pos_ < data_.size() && data_[pos_] != 0) text += static_cast<char>(data_[pos_++]);
    if (pos_ >= data_.size()) {
      ok_ = false;
      return text;
    }
    ++pos_;  // the terminator
    return text;
  }
  bool AtEnd() const { return pos_ == data_.size(); }
  bool Ok() const { return ok_; }

 private:
  int Fail() {
    ok_ = false;
    pos_ = data_.size();
    return 0;
  }
  const std::vector<uint8_t>& data_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

std::string Hex(const std::vector<uint8_t>& data) {
  std::string out;
  char byte[4];
  for (std::size_t i = 0; i < data.size() && i < 64; ++i) {
    (void)std::snprintf(byte, sizeof(byte), "%02x ", data[i]);
    out += byte;
  }
  if (data.size() > 64) out += "...";
  return out;
}

void Append(std::vector<uint8_t>& data, int value, int bytes) {
  for (int i = 0; i < bytes; ++i) data.push_back(static_cast<uint8_t>((value >> (8 * i)) & 0xff));
}

bool CheckOpen(const char* entry) {
  if (S().message.open) return true;
  S().HostError(std::string(entry) + " outside a message");
  return false;
}

// Slots that receive a finished message.
std::vector<int> Recipients(const OpenMessage& m) {
  std::vector<int> slots;
  if (m.dest == MSG_ONE || m.dest == MSG_ONE_UNRELIABLE) {
    const int slot = S().SlotOf(m.target);
    if (S().players[static_cast<std::size_t>(slot)].connected) {
      slots.push_back(slot);
    } else {
      S().Note("message to slot " + std::to_string(slot) + " dropped: not connected");
    }
    return slots;
  }
  for (int slot = 1; slot <= S().maxClients; ++slot)
    if (S().players[static_cast<std::size_t>(slot)].connected) slots.push_back(slot);
  return slots;
}

// What a message costs on a recipient's reliable channel: MSG_ONE and
// MSG_ALL go reliably, the others not at all.
bool Carried(const OpenMessage& m, int slot, std::size_t wireBytes) {
  if (m.dest != MSG_ONE && m.dest != MSG_ALL) return true;
  return S().SendReliable(slot, wireBytes);
}

void DeliverTextMsg(const OpenMessage& m, std::size_t wireBytes) {
  const std::vector<uint8_t>& data = m.data;
  Reader reader(data);
  ChatMessage chat;
  chat.destination = reader.Byte();
  chat.text = reader.String();
  // Up to four parameters may follow; this game's client substitutes them.
  for (int i = 0; i < 4 && reader.Ok() && !reader.AtEnd(); ++i) reader.String();
  if (!reader.Ok() || !reader.AtEnd()) {
    S().HostError("malformed TextMsg: " + Hex(data));
    return;
  }
  for (int slot : Recipients(m)) {
    if (!Carried(m, slot, wireBytes)) continue;
    S().clients[static_cast<std::size_t>(slot)].chat.push_back(chat);
    S().Record(Event::Kind::Chat, slot, chat.text);
  }
}

void DeliverTempEntity(const OpenMessage& m, std::size_t wireBytes) {
  const std::vector<uint8_t>& data = m.data;
  Reader reader(data);
  const int subtype = reader.Byte();
  if (subtype != TE_TEXTMESSAGE) {
    S().HostError("temp entity type " + std::to_string(subtype) + " is not simulated");
    return;
  }
  HudMessage hud;
  hud.channel = reader.Byte();
  hud.x = reader.Short();
  hud.y = reader.Short();
  hud.effect = reader.Byte();
  hud.r1 = static_cast<uint8_t>(reader.Byte());
  hud.g1 = static_cast<uint8_t>(reader.Byte());
  hud.b1 = static_cast<uint8_t>(reader.Byte());
  hud.a1 = static_cast<uint8_t>(reader.Byte());
  hud.r2 = static_cast<uint8_t>(reader.Byte());
  hud.g2 = static_cast<uint8_t>(reader.Byte());
  hud.b2 = static_cast<uint8_t>(reader.Byte());
  hud.a2 = static_cast<uint8_t>(reader.Byte());
  hud.fadein = reader.UShort();
  hud.fadeout = reader.UShort();
  hud.hold = reader.UShort();
  if (hud.effect == 2) hud.fxTime = reader.UShort();
  hud.text = reader.String();
  if (!reader.Ok() || !reader.AtEnd()) {
    S().HostError("malformed TE_TEXTMESSAGE: " + Hex(data));
    return;
  }
  for (int slot : Recipients(m)) {
    if (!Carried(m, slot, wireBytes)) continue;
    S().clients[static_cast<std::size_t>(slot)].hud.push_back(hud);
    S().Record(Event::Kind::Hud, slot, hud.text);
  }
}

}  // namespace

const UserMessageType* SimState::FindUserMessage(int id) const {
  for (const UserMessageType& type : userMessages)
    if (type.id == id) return &type;
  return nullptr;
}

int SimState::RegisterUserMessage(const std::string& name, int size) {
  for (const UserMessageType& type : userMessages)
    if (type.name == name) return type.id;
  // The engine refuses names over 11 characters and runs out of ids at 255.
  const int id = kFirstUserMessageId + static_cast<int>(userMessages.size());
  if (name.empty() || name.size() > 11 || id > 255) {
    HostError("pfnRegUserMsg: refused \"" + name + "\"");
    return 0;
  }
  userMessages.push_back(UserMessageType{name, size, id});
  return id;
}

void EngMessageBegin(int dest, int type, const float* /*origin*/, edict_t* target) {
  OpenMessage& m = S().message;
  if (m.open) S().HostError("pfnMessageBegin: the previous message was never ended");
  m = OpenMessage{};
  if (type != SVC_TEMPENTITY && !S().FindUserMessage(type))
    S().HostError("pfnMessageBegin: unknown message type " + std::to_string(type));
  if (dest == MSG_ONE || dest == MSG_ONE_UNRELIABLE) {
    if (S().SlotOf(target) == 0) S().HostError("pfnMessageBegin: MSG_ONE without a client edict");
  } else if (dest != MSG_ALL && dest != MSG_BROADCAST) {
    S().HostError("pfnMessageBegin: destination " + std::to_string(dest) + " is not simulated");
  }
  m.open = true;
  m.dest = dest;
  m.type = type;
  m.target = target;
}

void EngWriteByte(int value) {
  if (CheckOpen("pfnWriteByte")) Append(S().message.data, value, 1);
}

void EngWriteShort(int value) {
  if (CheckOpen("pfnWriteShort")) Append(S().message.data, value, 2);
}

void EngWriteString(const char* text) {
  if (!CheckOpen("pfnWriteString")) return;
  if (!text) S().HostError("pfnWriteString: null text");
  std::vector<uint8_t>& data = S().message.data;
  for (const char* p = text ? text : ""; *p != '\0'; ++p) data.push_back(static_cast<uint8_t>(*p));
  data.push_back(0);
}

void EngMessageEnd(void) {
  if (!CheckOpen("pfnMessageEnd")) return;
  S().DeliverMessage();
}

void SimState::DeliverMessage() {
  OpenMessage m = std::move(message);
  message = OpenMessage{};
  const bool oneWithoutClient =
      (m.dest == MSG_ONE || m.dest == MSG_ONE_UNRELIABLE) && SlotOf(m.target) == 0;
  if (oneWithoutClient) return;  // reported at the begin
  if (m.type == SVC_TEMPENTITY) {
    // The engine's own message: not bound by the user-message limit.  On
    // the wire: its type byte, then the data.
    DeliverTempEntity(m, 1 + m.data.size());
    return;
  }
  const UserMessageType* type = FindUserMessage(m.type);
  if (!type) return;  // reported at the begin
  if (m.data.size() > kMaxUserMessageBytes) {
    Fatal("MESSAGE_END: Refusing to send user message " + type->name + " of " +
          std::to_string(m.data.size()) + " bytes to client, user message size limit is " +
          std::to_string(kMaxUserMessageBytes) + " bytes");
    return;
  }
  if (type->size >= 0 && m.data.size() != static_cast<std::size_t>(type->size)) {
    HostError("user message " + type->name + " registered with " + std::to_string(type->size) +
              " bytes carried " + std::to_string(m.data.size()));
    return;
  }
  if (type->name == "TextMsg") {
    // On the wire: the type byte, a length byte when the size varies, the data.
    DeliverTextMsg(m, 1 + (type->size < 0 ? 1 : 0) + m.data.size());
  } else {
    Note("user message " + type->name + " (" + std::to_string(m.data.size()) + " bytes)");
  }
}

}  // namespace kelsim::detail
