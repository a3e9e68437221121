0 BEGIN PGM COVER MM
1 BLK FORM 0.1 Z X+0 Y+0 Z-8
2 BLK FORM 0.2 X+90 Y+60 Z+0
; cover plate 90 x 60, corners r8, keyhole slot
; saved on a control that ends lines with cr-lf
3 TOOL CALL 7 Z S5000 F500
4 L Z+50 R0 FMAX
5 L X-10 Y+30 R0 FMAX
6 L Z-8 R0 FMAX
; outer contour, counter-clockwise, tool on the right
7 L X+0 Y+30 RR F500
8 L X+0 Y+8
9 CC X+8 Y+8
10 C X+8 Y+0 DR+
11 L X+82 Y+0
12 CC X+82 Y+8
13 C X+90 Y+8 DR+
14 L X+90 Y+52
15 CC X+82 Y+52
16 C X+82 Y+60 DR+
17 L X+8 Y+60
18 CC X+8 Y+52
19 C X+0 Y+52 DR+
20 L X+0 Y+30
21 L X-10 Y+30 R0
22 L Z+2 R0 FMAX
; keyhole: bore d16 with a slot 8 wide towards the right
23 CC X+30 Y+30
24 L X+30 Y+30 R0 FMAX
25 L Z-8 R0 F150
26 L X+36.928 Y+26 F400
27 L X+60 Y+26
28 CC X+60 Y+30
29 C X+60 Y+34 DR+
30 L X+36.928 Y+34
31 CC X+30 Y+30
32 C X+36.928 Y+26 DR+
33 L X+30 Y+30
34 L Z+50 R0 FMAX
35 M30
36 END PGM COVER MM
