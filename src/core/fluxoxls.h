#pragma once

// What the .xls reader's helper (molvar_leitorxls) writes to its standard output, and the
// program reads: a header, then records of one tag byte each, numbers in the machine's own
// byte order (both ends run on the same machine).
//
//   header  "MXLS" and the version byte
//   'E' u8 failure, i32 FreeXL's code (or the sheet)  the workbook cannot be read; nothing follows
//   'L' u32 sheets, then for sheets 1 and 2 (those there are): u16 length, UTF-8 name
//   'F' u32 sheet                            the cells of that sheet follow, row by row
//   'N' u32 row, u16 column, f64 number      rows and columns from 0
//   'T' u32 row, u16 column, u32 length, UTF-8 text
//   'D' u32 row, u16 column, u8 kind, u8 length, text "yyyy-MM-dd", "yyyy-MM-dd hh:mm:ss" or "hh:mm:ss"
//   'X' u32 row, u16 column                  a cell that FreeXL could not read
//   'R' u32 row, u16 column                  a formula in columns A to D, whose result FreeXL does not give
//   'Q' u32 row, u16 column, u8 code         an error in columns A to D (0x2A #N/A), which FreeXL reads as a number
//   'G'                                      the end of the sheet
//   'Z'                                      the end of the workbook
//
// Empty cells are not sent. The program takes nothing longer than the limits below.
namespace fluxoxls {

constexpr char kAssinatura[5] = { 'M', 'X', 'L', 'S', 2 };
// Only the first two sheets are read (accounts and cost centres).
constexpr unsigned kFolhasLidas = 2;
// A sheet name holds 31 characters in Excel and 255 in the file, 3 bytes of UTF-8 each at most.
constexpr unsigned kNomeMaximo = 1024;
// A cell holds 32,767 characters, 3 bytes of UTF-8 each at most; what passes is cut here.
constexpr unsigned kTextoMaximo = 32767 * 3;
// Past the last row (65,536) and column (256) of the .xls format.
constexpr unsigned kLinhas = 65536;
constexpr unsigned kColunas = 256;

enum class Falha : unsigned char {
    SemMemoria = 1, // FreeXL would need more memory than the helper's bound
    NaoXls = 2, // not a compound file with a workbook in it
    Senha = 3, // protected by a password
    Danificado = 4, // FreeXL failed with the code that follows
    FolhaCortada = 5, // the records of the sheet that follows (from 1) stop before its end
};

enum class Tipo : unsigned char { Data = 1, DataHora = 2, Hora = 3 };

} // namespace fluxoxls
