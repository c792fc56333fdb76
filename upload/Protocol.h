#pragma once

// Control bytes of the clock protocol.
inline constexpr char STX = 0x02;
inline constexpr char ETX = 0x03;
inline constexpr char ACK = 0x06;
inline constexpr char NAK = 0x15;
inline constexpr char CAN = 0x18;
