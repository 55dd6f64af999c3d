-- Demo goods for trying the counter quickly:  sqlite3 tarv.db < tools/demo-goods.sql
-- (with Tarvel closed). The back office (货名管理, 进货管理) is the way to
-- start a real shop. Money columns hold ten-thousandths of a yuan: 35000 is 3.50.
-- Each purchase gets its id by the program's own rule: the last row's id + 1.
BEGIN;
INSERT INTO name (code, name) VALUES
  ('6901', '矿泉水 550ml'), ('6902', '全麦面包'), ('6903', '纯牛奶 250ml'), ('6904', '苹果 (斤)'),
  ('6905', '洗衣液 2kg'), ('6906', '毛巾');
CREATE TEMP TABLE demo_purchase (code TEXT, shuliang INTEGER, jinjia INTEGER, shou INTEGER, changjia TEXT, days TEXT);
INSERT INTO demo_purchase VALUES
  ('6901', 48, 9000, 15000, '农夫山泉', '+1 year'),
  ('6902', 20, 32000, 45000, '桃李', '+7 days'),
  ('6903', 24, 18000, 25000, '蒙牛', '+6 months'),
  ('6904', 50, 30000, 59800, '果园', '+14 days'),
  ('6905', 6, 250000, 399000, '蓝月亮', '+3 years');
-- One statement per row, so that every id sees the row stored before it.
INSERT INTO jinhuo (id, code, shuliang, jinjia, shou, huiyuanjia, changjia, jindt, guoqidt)
  SELECT COALESCE((SELECT id FROM jinhuo ORDER BY rowid DESC LIMIT 1), 0) + 1, code, shuliang, jinjia, shou, shou,
         changjia, date('now'), date('now', days) FROM demo_purchase WHERE rowid = 1;
INSERT INTO jinhuo (id, code, shuliang, jinjia, shou, huiyuanjia, changjia, jindt, guoqidt)
  SELECT COALESCE((SELECT id FROM jinhuo ORDER BY rowid DESC LIMIT 1), 0) + 1, code, shuliang, jinjia, shou, shou,
         changjia, date('now'), date('now', days) FROM demo_purchase WHERE rowid = 2;
INSERT INTO jinhuo (id, code, shuliang, jinjia, shou, huiyuanjia, changjia, jindt, guoqidt)
  SELECT COALESCE((SELECT id FROM jinhuo ORDER BY rowid DESC LIMIT 1), 0) + 1, code, shuliang, jinjia, shou, shou,
         changjia, date('now'), date('now', days) FROM demo_purchase WHERE rowid = 3;
INSERT INTO jinhuo (id, code, shuliang, jinjia, shou, huiyuanjia, changjia, jindt, guoqidt)
  SELECT COALESCE((SELECT id FROM jinhuo ORDER BY rowid DESC LIMIT 1), 0) + 1, code, shuliang, jinjia, shou, shou,
         changjia, date('now'), date('now', days) FROM demo_purchase WHERE rowid = 4;
INSERT INTO jinhuo (id, code, shuliang, jinjia, shou, huiyuanjia, changjia, jindt, guoqidt)
  SELECT COALESCE((SELECT id FROM jinhuo ORDER BY rowid DESC LIMIT 1), 0) + 1, code, shuliang, jinjia, shou, shou,
         changjia, date('now'), date('now', days) FROM demo_purchase WHERE rowid = 5;
DROP TABLE demo_purchase;
COMMIT;
