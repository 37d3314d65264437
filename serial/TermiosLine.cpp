#include "serial/TermiosLine.h"

#include <sys/ioctl.h>

#include <iterator>

namespace varnetik {

namespace {

struct BaudSpeed {
  int64_t baudRate;
  speed_t speed;
};

constexpr BaudSpeed kBaudSpeeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

bool CharacterSizeFlag(int64_t dataBits, tcflag_t& flag) {
  switch (dataBits) {
    case 5: flag = CS5; return true;
    case 6: flag = CS6; return true;
    case 7: flag = CS7; return true;
    case 8: flag = CS8; return true;
    default: return false;
  }
}

bool ParityFlags(int64_t parity, tcflag_t& flags) {
  switch (parity) {
    case kParityNone: flags = 0; return true;
    case kParityOdd: flags = PARENB | PARODD; return true;
    case kParityEven: flags = PARENB; return true;
    default: return false;  // mark and space have no portable termios form
  }
}

bool StopBitsFlag(float stopBits, tcflag_t& flag) {
  if (stopBits == 1.0f) {
    flag = 0;
    return true;
  }
  if (stopBits == 2.0f) {
    flag = CSTOPB;
    return true;
  }
  return false;  // 1.5 stop bits cannot be set through termios
}

void MakeRaw(termios& settings) {
  settings.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | IGNPAR | PARMRK | INPCK | ISTRIP | INLCR |
                                            IGNCR | ICRNL | IUCLC | IXON | IXANY | IXOFF | IMAXBEL);
  settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  settings.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
  // Reads return at once with what is there; the exchange keeps its own time budget.
  settings.c_cc[VMIN] = 0;
  settings.c_cc[VTIME] = 0;
}

}  // namespace

bool TermiosSpeedForBaud(int64_t baudRate, speed_t& speed) {
  for (const BaudSpeed& entry : kBaudSpeeds) {
    if (entry.baudRate == baudRate) {
      speed = entry.speed;
      return true;
    }
  }
  return false;
}

bool ApplyLineSettings(termios& settings, const LineSettings& line) {
  speed_t speed;
  tcflag_t size;
  tcflag_t parityFlags;
  tcflag_t stopFlag;
  if (!TermiosSpeedForBaud(line.baudRate, speed) || !CharacterSizeFlag(line.dataBits, size) ||
      !ParityFlags(line.parity, parityFlags) || !StopBitsFlag(line.stopBits, stopFlag)) {
    return false;
  }
  MakeRaw(settings);
  if (line.parity != kParityNone) settings.c_iflag |= INPCK;
  settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CMSPAR);
  settings.c_cflag |= size | parityFlags | stopFlag | CLOCAL | CREAD;
  if (line.handshake == 0) settings.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
  return cfsetispeed(&settings, speed) == 0 && cfsetospeed(&settings, speed) == 0;
}

bool SaveLine(int fd, SavedLine& saved) {
  if (tcgetattr(fd, &saved.settings) != 0) return false;
  saved.hasModemLines = ioctl(fd, TIOCMGET, &saved.modemLines) == 0;
  return true;
}

void RestoreLine(int fd, const SavedLine& saved) {
  tcsetattr(fd, TCSANOW, &saved.settings);
  if (!saved.hasModemLines) return;
  int outputs = TIOCM_DTR | TIOCM_RTS;
  int raise = saved.modemLines & outputs;
  int lower = outputs & ~saved.modemLines;
  ioctl(fd, TIOCMBIS, &raise);
  ioctl(fd, TIOCMBIC, &lower);
}

}  // namespace varnetik
