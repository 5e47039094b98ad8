echo x > E:
echo x >> e:\f.txt
md q:\new
cd /d E:\
E:
