#include "utility/GameTable.h"

namespace games {

namespace {
const GameInfo table[Count] = {
    {"Poker", "Poker.exe", "pokerVer", "pokerConnCnt"},
    {"Matgo", "matgo.exe", "matgoVer", "matgoConnCnt"},
    {"Hongsip", "Hongsip.exe", "hongsipVer", "hongsipConnCnt"},
    {"Majong", "majong.exe", "majakVer", "majakConnCnt"},
};
} // namespace

bool isGame(int index) {
    return index >= 0 && index < Count;
}

const GameInfo& info(int index) {
    return table[isGame(index) ? index : 0];
}

} // namespace games
