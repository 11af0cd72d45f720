" Camera configurations share the .cfg ending with many formats: those below
" a folder named camera are taken by default.  Widen it in your own
" configuration, e.g.  au BufRead,BufNewFile *.cfg set filetype=quorlencfg
" ('set', not 'setf': the runtime has named every .cfg file by then).
au BufRead,BufNewFile */camera/*.cfg set filetype=quorlencfg
