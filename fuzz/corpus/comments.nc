(äöü LATIN-1 COMMENT)
(Ã¤Ã¶Ã¼ UTF-8 COMMENT)
(ðŸ”§ TOOL í € BAD)
G1 X1 Y1
(unclosed comment
G1 X2 Y3 (one) (two)
;TNC STYLE
