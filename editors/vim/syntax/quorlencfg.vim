" Vim syntax file for camera module configuration files, read as the
" library reads them (docs/format.md):
"  - a line whose first non-blank is ';' or '#', or which starts '//' after
"    blanks, is a comment; ';' or '//' after a blank in a value starts one;
"  - after the first name/value line of a section, every indented line
"    continues the last name's value, taken whole (comments included), until
"    the next header at the line's start;
"  - keys are known only in their section's family; everything in an unknown
"    section, and a pair before the first header, is ignored.
" The section names and keys below are the tool's own tables:
" tests/tool/editor_tables.py checks them against the language server.
if exists("b:current_syntax")
  finish
endif

syn case match
syn sync fromstart

" {=== values ===}
syn match quorlencfgNumber /\w\@1<![-+]\=\d\+/ contained
syn match quorlencfgHex /\w\@1<!0[xX]\x\+/ contained
syn match quorlencfgInlineComment /\s\@1<=\%(;\|\/\/\).*$/ contained
syn match quorlencfgValue /.*$/ contained
      \ contains=quorlencfgNumber,quorlencfgHex,quorlencfgInlineComment
syn match quorlencfgSep /[=:]/ contained nextgroup=quorlencfgValue skipwhite
syn match quorlencfgContinuation /^\s\+\S.*$/ contained
      \ contains=quorlencfgNumber,quorlencfgHex

" {=== keys: unknown first, so that a known one wins where both start ===}
syn match quorlencfgUnknownKey /\%(^\s*\)\@<=[^ \t;#=:\[][^=:]\{-}\ze\s*[=:]/
      \ contained nextgroup=quorlencfgSep skipwhite
syn match quorlencfgCameraKey
      \ /\%(^\s*\)\@<=\%(CFG_MODE\|TYPE\|SIZE\|BIT_WIDTH\|FORMAT\|I2C_MODE\|I2C_ADDR\|TRANS_LVL\)\ze\s*[=:]/
      \ contained nextgroup=quorlencfgSep skipwhite
syn match quorlencfgControlKey
      \ /\%(^\s*\)\@<=\%(MIN_VALUE\|MAX_VALUE\|DEF\|STEP\|CTRL_NAME\|FUNC_NAME\)\ze\s*[=:]/
      \ contained nextgroup=quorlencfgSep skipwhite
syn match quorlencfgRegisterKey
      \ /\%(^\s*\)\@<=\%(REG\|VRCMD\|DELAY\)\ze\s*[=:]/
      \ contained nextgroup=quorlencfgSep skipwhite

" {=== runs: from a section's first pair to the next header at a line's start ===}
" (A run starts after the first pair's indent, so that the first pair is not
" taken for a continuation of itself.)
syn cluster quorlencfgInRun
      \ contains=quorlencfgContinuation,quorlencfgRunBlock,quorlencfgComment
syn region quorlencfgUnknownRun start=/^\s*\zs\ze[^ \t;#\[][^=:]*[=:]/ end=/^\ze\[/
      \ contains=quorlencfgUnknownKey,@quorlencfgInRun
syn region quorlencfgCameraRun start=/^\s*\zs\ze[^ \t;#\[][^=:]*[=:]/ end=/^\ze\[/
      \ contained contains=quorlencfgUnknownKey,quorlencfgCameraKey,@quorlencfgInRun
syn region quorlencfgControlRun start=/^\s*\zs\ze[^ \t;#\[][^=:]*[=:]/ end=/^\ze\[/
      \ contained contains=quorlencfgUnknownKey,quorlencfgControlKey,@quorlencfgInRun
syn region quorlencfgRegisterRun start=/^\s*\zs\ze[^ \t;#\[][^=:]*[=:]/ end=/^\ze\[/
      \ contained contains=quorlencfgUnknownKey,quorlencfgRegisterKey,@quorlencfgInRun

" {=== code blocks: kept verbatim; inside a run only at a line's start ===}
syn region quorlencfgBlock matchgroup=quorlencfgBlockMarker
      \ start=/\c^\s*======CODE_BLOCK_START======\s*$/
      \ end=/\c^\s*======CODE_BLOCK_END======\s*$/ end=/^\ze\s*\[[^\]]*\]/
syn region quorlencfgRunBlock matchgroup=quorlencfgBlockMarker
      \ start=/\c^======CODE_BLOCK_START======\s*$/
      \ end=/\c^\s*======CODE_BLOCK_END======\s*$/ end=/^\ze\s*\[[^\]]*\]/
      \ contained

" {=== sections: the header, its bracket groups joined, and what it holds ===}
syn match quorlencfgAfterHeader /\]\@1<=.\+$/ contained
syn match quorlencfgOpenHeader /^\s*\[[^\]]*$/
syn cluster quorlencfgInSection
      \ contains=quorlencfgAfterHeader,quorlencfgBlock,quorlencfgComment,quorlencfgOpenHeader
syn region quorlencfgUnknownSection matchgroup=quorlencfgUnknownHeader
      \ start=/^\s*\[[^\]]*\]\%(\[[^\]]*\]\)*/ end=/^\ze\s*\[/
      \ contains=quorlencfgUnknownRun,@quorlencfgInSection
syn region quorlencfgCameraSection matchgroup=quorlencfgHeader
      \ start=/^\s*\[camera parameter\]\[\@!/ end=/^\ze\s*\[/
      \ contains=quorlencfgCameraRun,@quorlencfgInSection
syn region quorlencfgControlSection matchgroup=quorlencfgHeader
      \ start=/^\s*\[control parameter\]\[\@!/ end=/^\ze\s*\[/
      \ contains=quorlencfgControlRun,@quorlencfgInSection
syn region quorlencfgRegisterSection matchgroup=quorlencfgHeader
      \ start=/^\s*\[\%(board parameter\|board parameter\%(||\|\]\[\)dev2\|board parameter\%(||\|\]\[\)dev3\%(||\|\]\[\)inf2\|board parameter\%(||\|\]\[\)dev3\%(||\|\]\[\)inf3\|register parameter\|register parameter\%(||\|\]\[\)dev3\%(||\|\]\[\)inf2\|register parameter\%(||\|\]\[\)dev3\%(||\|\]\[\)inf3\)\]\[\@!/
      \ end=/^\ze\s*\[/
      \ contains=quorlencfgRegisterRun,@quorlencfgInSection

" Last, so that a comment wins over whatever else starts on its line.
syn match quorlencfgComment /^\s*\%(;\|#\|\/\/\).*$/ contains=@Spell

hi def link quorlencfgComment Comment
hi def link quorlencfgInlineComment Comment
hi def link quorlencfgAfterHeader Comment
hi def link quorlencfgHeader Title
hi def link quorlencfgUnknownHeader PreProc
hi def link quorlencfgOpenHeader Error
hi def link quorlencfgCameraKey Identifier
hi def link quorlencfgControlKey Identifier
hi def link quorlencfgRegisterKey Identifier
hi def link quorlencfgUnknownKey WarningMsg
hi def link quorlencfgSep Delimiter
hi def link quorlencfgNumber Number
hi def link quorlencfgHex Number
hi def link quorlencfgBlockMarker Special
hi def link quorlencfgBlock String
hi def link quorlencfgRunBlock String

let b:current_syntax = "quorlencfg"
