ptf ~
# quon parameter file: a generated scenario (gen_scenario --seed 1)
# 24 stations, drift order 1, 3000 irrigation wells in a summer month
#
# Yearly grids of kriged precipitation, irrigated acres and recharge
FILE store ppt irr rch
# State data directories: CO KS NE
DIR co ks ne
RECHARGE precip.rch gwirr.rch swirr.rch coirr.rch
IRCHCB 50
WELL quon.wel
IWELCB 50
ANNPUMP
# PEST++ writes the steady multiplier (stm) and the 20- and 30-inch rows of
# the recharge functions (dNNsK dryland, iNNsK irrigated, soil K). MONTH stays
# fixed: its shares must sum to 1, which a template cannot keep.
STEADY 1948 1949 ~  stm   ~
TRANSIENT 1950 1952
# A state's pumping can be left out of the run:
# NOPUMP ne
IBOUND ibound.zon
MOUND mound.zon
# Commingled acres of a state left out count inside the mound too
OPTMOUND
SOIL soil.zon
TERRAIN terrain.zon terrain.dat terrain.plt LIMIT 0.5 1.5
# Irrigation return recharge is scaled from 1952 on
XFACTOR 1951 xfactor.dat
BUDGET budget.zon subarea.zon
STATIONS stations.loc stations.ppt 1
#      Jan  Feb  Mar  Apr  May  Jun  Jul  Aug  Sep  Oct  Nov  Dec
MONTH 0.05 0.05 0.06 0.08 0.10 0.12 0.14 0.12 0.09 0.07 0.07 0.05
FUNCTION funtable.txt 2
# ppt   dryland and irrigated recharge, inches a year, of each soil
#       sand            loam            silt            clay         
  0.0   0.0000 0.0000   0.0000 0.0000   0.0000 0.0000   0.0000 0.0000
  5.0   0.0320 0.2400   0.0200 0.1500   0.0150 0.1125   0.0100 0.0750
 10.0   0.1280 0.5760   0.0800 0.3600   0.0600 0.2700   0.0400 0.1800
 15.0   0.3520 1.1040   0.2200 0.6900   0.1650 0.5175   0.1100 0.3450
 20.0   ~ d20s1 ~ ~ i20s1 ~ ~ d20s2 ~ ~ i20s2 ~ ~ d20s3 ~ ~ i20s3 ~ ~ d20s4 ~ ~ i20s4 ~
 25.0   1.1840 2.7360   0.7400 1.7100   0.5550 1.2825   0.3700 0.8550
 30.0   ~ d30s1 ~ ~ i30s1 ~ ~ d30s2 ~ ~ i30s2 ~ ~ d30s3 ~ ~ i30s3 ~ ~ d30s4 ~ ~ i30s4 ~
 35.0   2.5280 5.1360   1.5800 3.2100   1.1850 2.4075   0.7900 1.6050
 40.0   3.3920 6.6240   2.1200 4.1400   1.5900 3.1050   1.0600 2.0700
 45.0   4.3840 8.3040   2.7400 5.1900   2.0550 3.8925   1.3700 2.5950
