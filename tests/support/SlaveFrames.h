// The slave's frame code under the names the tests have always used for it.
#pragma once

#include "slave/SlaveFrames.h"

namespace varnetik::testing {

using slave::AnswerPdu;
using slave::Bytes;
using slave::FrameRtuAnswer;
using slave::FrameTcpAnswer;
using slave::Misbehaviour;
using slave::RegisterMap;
using slave::Reply;
using slave::SlaveCrc16;

}  // namespace varnetik::testing
