#pragma once
// The pocket calculator's logic, without any window: its registers, every operation of its
// buttons and keys, and the formatting of its results. Numbers are kept as display texts (a sign
// column, the digits, always a "." as decimal point: " 0.", " 12.", "-2.5"); the arithmetic is
// left to the formula language, so results follow its number rules.
//
// The command line (noxconv --calc) uses this library; nothing here may include Qt.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nox::calc {

// Zero in display form.
inline constexpr std::string_view kZeroText = " 0.";
// The longest entry a user can type.
inline constexpr std::size_t kMaxEntryLength = 15;

// What a button or key of the calculator does, apart from copy, paste and transfer, which need
// the window.
enum class CalcCommand {
  Digit0,
  Digit1,
  Digit2,
  Digit3,
  Digit4,
  Digit5,
  Digit6,
  Digit7,
  Digit8,
  Digit9,
  Point,
  Sign,
  Plus,
  Minus,
  Multiply,
  Divide,
  Equals,
  Percent,
  SquareRoot,
  Inverse,
  MemoryClear,
  MemoryRecall,
  MemoryStore,
  MemoryAdd,
  Back,
  ClearEntry,
  ClearAll,
};
inline constexpr int kCalcCommandCount = static_cast<int>(CalcCommand::ClearAll) + 1;

// The command of a character typed in the calculator ("0".."9", "." and ",", the operators, "=",
// "%", and the letters C, M, R, S, Q, X, Z in either case); nothing for any other character.
std::optional<CalcCommand> CommandForChar(char c);
// Keys as a script writes them: characters as typed, and {BS}, {ENTER}, {ESC} and {DEL} for the
// keys Backspace (back), Enter (equals), Esc (clear all) and Del (clear entry). Gives their
// commands in order (a character the calculator ignores gives none); raises std::invalid_argument
// naming a key in braces that is none of these.
std::vector<CalcCommand> ParseKeys(std::string_view keys);

// The display form of a result of an operator, percent or M+, from the formula language's text
// (with "." as decimal point).
std::string FormatCalcResult(std::string s);
// The display form of a result of 1/x or the square root.
std::string FormatCalcUnary(std::string s);

// The value of a calling field as the calculator starts from it: with transfer allowed, the host's
// decimal separator becomes "." and a text that is then no number becomes zero; the text is
// trimmed on the left and given the sign column, and always ends up with a ".".
std::string InitialDisplay(std::string_view fieldText, bool canTransfer, char decimalSeparator);
// The text a transfer writes back into the calling field: without a trailing ".", with the host's
// decimal separator, trimmed on the left (" 3." gives "3", " 0.25" with "," gives "0,25").
std::string TransferText(std::string_view display, char decimalSeparator);

class CalcLogic {
 public:
  // Called for every beep (a refused key or a limit reached); may be empty.
  explicit CalcLogic(std::function<void()> beep = {});

  // The main display (LblDisp).
  const std::string& Display() const { return display_; }
  const std::string& EntryText() const { return entryText_; }
  // Also what the small display LblB shows.
  const std::string& PrevOperand() const { return prevOperand_; }
  const std::string& MemoryText() const { return memoryText_; }
  const std::string& PendingOp() const { return pendingOp_; }
  // The operator whose picture ImgZn shows; empty for none.
  const std::string& ShownOperator() const { return shownOperator_; }
  bool PointEntered() const { return pointEntered_; }
  bool NewNumber() const { return newNumber_; }
  bool CanTransfer() const { return canTransfer_; }
  void SetCanTransfer(bool on) { canTransfer_ = on; }
  // Not for a negative entry (one that begins with "-").
  bool SquareRootAvailable() const { return squareRootAvailable_; }
  bool InverseAvailable() const { return inverseAvailable_; }

  // Starts from a value in display form (the show step of the window): it gets its "." when it
  // has none.
  void Start(std::string_view display);

  // Runs a command as its key does: the square root and 1/x only beep while unavailable.
  void PressKey(CalcCommand command);
  // Runs a command as its button does.
  void Execute(CalcCommand command);

  void EnterDigit(char digit);
  void EnterPoint();
  void Back();
  void ChangeSign();
  // op is "+", "-", "*", "/" or "=".
  void ApplyOperator(char op);
  void Percent();
  void Inverse();
  void SquareRoot();
  void MemoryClear();
  void MemoryRecall();
  void MemoryStore();
  void MemoryAdd();
  void ClearEntry();
  void ClearAll();
  // The clipboard's text replaces the display as it is.
  void Paste(std::string_view text);

 private:
  void Beep() const;
  void EndNumber();

  std::function<void()> beep_;
  std::string display_{kZeroText};
  std::string entryText_{kZeroText};
  std::string prevOperand_{kZeroText};
  std::string memoryText_{kZeroText};
  std::string pendingOp_;
  std::string shownOperator_;
  bool pointEntered_ = false;
  bool newNumber_ = true;
  bool canTransfer_ = false;
  bool squareRootAvailable_ = true;
  bool inverseAvailable_ = false;
};

}  // namespace nox::calc
