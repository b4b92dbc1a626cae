#pragma once

// The archive's own console lines, printf formats whose "%s" is the name of what was
// opened or closed. Printed through consolePrintWithName (Console.h).
inline constexpr char kArchiveOpenedFormat[] = "%s 파일을 여는데 성공하였습니다.";
inline constexpr char kArchiveOpenFailedFormat[] = "%s 파일을 여는데 실패하였습니다.";
inline constexpr char kArchiveClosedFormat[] = "%s 압축 파일을 닫았습니다.";
