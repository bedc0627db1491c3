set terminal emf color solid size 480,360
set output ARG1
set pm3d
unset surface
set view 60,30
set palette rgbformulae 33,13,10
splot [-2:2][-2:2] exp(-(x*x+y*y)) with pm3d title "pm3d"
