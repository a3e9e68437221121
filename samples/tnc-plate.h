0 BEGIN PGM PLATE MM
1 BLK FORM 0.1 Z X-10 Y-10 Z-10
2 BLK FORM 0.2 X+110 Y+80 Z+0
; plate 100 x 60, written at the control
; tool 6: end mill d8
3 TOOL CALL 6 Z S6000 F800
4 L Z+50 R0 FMAX M3
; outer contour: rounded corner, chamfer, crown on top, tangent arc
5 L X+0 Y+0 R0 FMAX
6 L IZ-55 R0 F300
7 L X+100 Y+0 RL F800
8 RND R10
9 L Y+60
10 CHF L8
11 L IX-20
12 CR X+40 Y+60 R+25 DR+
13 L IX-20
14 CT X+0 Y+40
15 L IY-40
16 L Z+2 R0 FMAX
; bore d30: one polar full circle
17 CC X+50 Y+30
18 LP PR+15 PA+0 R0 FMAX
19 L Z-5 F200
20 CP IPA+360 DR+ F400
21 L Z+2 R0 FMAX
; hexagon pocket around the tool position
22 L X+22 Y+24 R0 FMAX
23 CC
24 LP PR+8 PA+90 R0 FMAX
25 L Z-3 F200
26 LP IPA+60
27 LP IPA+60
28 LP IPA+60
29 LP IPA+60
30 LP IPA+60
31 LP IPA+60
; slot: half circles around the right bore
32 L Z+2 R0 FMAX
33 CC X+80 Y+30
34 LP PR+8 PA+90 FMAX
35 L Z-3 F200
36 CP PA+270 DR+
37 LP IPR+6
38 CP PA+90 DR-
39 LP IPR-6
40 L Z+50 R0 FMAX M2
41 END PGM PLATE MM
